#include "app/ErrorMessage.h"
#include "app/SingleInstance.h"

#include "TestAppDir.h"
#include "TestTree.h"

#include <QApplication>
#include <QDir>
#include <QLockFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <cstdio>
#include <memory>

using namespace Kakiva;
using namespace Qt::StringLiterals;

namespace {

// What a start of the program does, run in a process of its own: claim the directory
// and run on, or print what the user would be told and end.
int startOn(const QString &directory)
{
    setErrorPresenter(
        [](QWidget *, const QString &message) { std::printf("told: %s\n", qPrintable(message)); });
    SingleInstance instance(directory);
    if (!instance.claim())
        return 0;
    std::printf("running\n");
    std::fflush(stdout);
    return QCoreApplication::exec();
}

enum class Holder
{
    RunningProgram, // a start that answers
    SilentHolder,   // the lock is held by something that never answers
    CrashedProgram, // the lock was left by a start that was killed
};

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void secondStart_data();
    void secondStart();

private:
    std::unique_ptr<QProcess> start(const QString &directory)
    {
        auto process = std::make_unique<QProcess>();
        process->start(QCoreApplication::applicationFilePath(), {u"--start-on"_s, directory});
        return process;
    }
};

void TestSingleInstance::secondStart_data()
{
    QTest::addColumn<Holder>("holder");
    QTest::addColumn<bool>("runs");
    QTest::addColumn<QString>("told");
    QTest::newRow("running program comes to the front")
        << Holder::RunningProgram << false << QString();
    QTest::newRow("holder that does not answer")
        << Holder::SilentHolder << false << u"told: Kakiva は既に起動しています。\n"_s;
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
    if (holder == Holder::RunningProgram) {
        QVERIFY(first.claim());
    } else if (holder == Holder::SilentHolder) {
        QVERIFY(silent.tryLock(0));
    } else {
        const auto crashed = start(dir.path());
        QByteArray said;
        QTRY_VERIFY((said += crashed->readAllStandardOutput()).contains("running"));
        crashed->kill();
        QVERIFY(crashed->waitForFinished());
    }
    const Tree before = treeBelow(dir.path());

    const auto second = start(dir.path());
    QVERIFY(second->waitForStarted());
    QByteArray output;
    if (runs) {
        QTRY_VERIFY((output += second->readAllStandardOutput()).contains("running"));
        second->kill();
        QVERIFY(second->waitForFinished());
    } else {
        // The first start answers from this process's event loop, so wait inside it.
        QTRY_COMPARE(second->state(), QProcess::NotRunning);
        output = second->readAllStandardOutput();
        QCOMPARE(second->exitCode(), 0);
        QCOMPARE(treeBelow(dir.path()), before);
    }
    QCOMPARE(QString::fromUtf8(output), runs ? u"running\n"_s : told);
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
