#include "app/kit/ErrorMessage.h"
#include "app/start/SingleInstance.h"

#include "TestAppDir.h"
#include "TestTree.h"

#include <QApplication>
#include <QLockFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <cstdio>
#include <memory>

using namespace Kakiva;
using namespace Qt::StringLiterals;

namespace {

// A start of the program in a process of its own: it runs on, or prints what the user is
// told and ends.
int startOn(const QString &directory)
{
    setErrorPresenter(
        [](QWidget *, const QString &told) { std::printf("%s\n", qPrintable(told)); });
    SingleInstance instance(directory);
    if (!instance.claim())
        return 0;
    std::printf("running\n");
    std::fflush(stdout);
    return QCoreApplication::exec();
}

std::unique_ptr<QProcess> start(const QString &directory)
{
    auto process = std::make_unique<QProcess>();
    process->start(QCoreApplication::applicationFilePath(), {u"--start-on"_s, directory});
    return process;
}

// Waits, in this process's event loop (where a first start answers), for the start to say
// it runs, and ends it as a crash would.
void crashOnceRunning(QProcess &process)
{
    QByteArray said;
    QTRY_VERIFY((said += process.readAllStandardOutput()).contains("running"));
    process.kill();
    QVERIFY(process.waitForFinished());
}

enum class Holder
{
    RunningProgram,
    SilentHolder, // holds the lock but never answers
    CrashedProgram,
};

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void secondStart_data();
    void secondStart();
};

void TestSingleInstance::secondStart_data()
{
    QTest::addColumn<Holder>("holder");
    QTest::addColumn<bool>("runs");
    QTest::addColumn<QString>("told");
    QTest::newRow("running program comes to the front")
        << Holder::RunningProgram << false << QString();
    QTest::newRow("holder that does not answer")
        << Holder::SilentHolder << false << u"Kakiva は既に起動しています。\n"_s;
    QTest::newRow("lock left by a crash") << Holder::CrashedProgram << true << QString();
}

void TestSingleInstance::secondStart()
{
    QFETCH(Holder, holder);
    QFETCH(bool, runs);
    QFETCH(QString, told);
    TestAppDir dir;
    dir.write(u"Diary/2004/08/17.dia"_s, "x\r\n");
    SingleInstance first(dir.path());
    QSignalSpy raised(&first, &SingleInstance::activationRequested);
    QLockFile silent(dir.filePath(u".Kakiva.lock"_s));
    if (holder == Holder::RunningProgram)
        QVERIFY(first.claim());
    else if (holder == Holder::SilentHolder)
        QVERIFY(silent.tryLock(0));
    else
        crashOnceRunning(*start(dir.path()));
    const Tree before = treeBelow(dir.path());

    const auto second = start(dir.path());
    if (runs) {
        crashOnceRunning(*second);
    } else {
        QTRY_COMPARE(second->state(), QProcess::NotRunning);
        QCOMPARE(second->exitCode(), 0);
        QCOMPARE(QString::fromUtf8(second->readAllStandardOutput()), told);
        QCOMPARE(treeBelow(dir.path()), before);
    }
    QCOMPARE(raised.size(), holder == Holder::RunningProgram ? 1 : 0);
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--start-on") == 0)
        return startOn(QString::fromLocal8Bit(argv[2]));
    TestSingleInstance test;
    return QTest::qExec(&test, argc, argv);
}

#include "TestSingleInstance.moc"
