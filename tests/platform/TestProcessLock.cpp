#include "platform/ProcessLock.h"

#include <QFile>
#include <QLockFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

using namespace Kakiva;
using namespace Qt::StringLiterals;

namespace {

enum class Before
{
    Nothing,
    FileLeftByACrash,
    OurLockHeld,
    QtLockFileHeld,
    NoFolder,
};

} // namespace

class TestProcessLock : public QObject
{
    Q_OBJECT

private slots:
    void tryLock_data();
    void tryLock();
    void lettingGoFreesThePath();
};

void TestProcessLock::tryLock_data()
{
    QTest::addColumn<Before>("before");
    QTest::addColumn<ProcessLock::Outcome>("outcome");
    QTest::newRow("nothing there") << Before::Nothing << ProcessLock::Outcome::Taken;
    QTest::newRow("file left by a crash")
        << Before::FileLeftByACrash << ProcessLock::Outcome::Taken;
    QTest::newRow("held by another lock")
        << Before::OurLockHeld << ProcessLock::Outcome::HeldElsewhere;
    QTest::newRow("held by a Qt lock file")
        << Before::QtLockFileHeld << ProcessLock::Outcome::HeldElsewhere;
    QTest::newRow("folder missing") << Before::NoFolder << ProcessLock::Outcome::Failed;
}

void TestProcessLock::tryLock()
{
    QFETCH(Before, before);
    QFETCH(ProcessLock::Outcome, outcome);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = before == Before::NoFolder ? dir.filePath(u"missing/.lock"_s)
                                                    : dir.filePath(u".lock"_s);
    std::optional<ProcessLock> other;
    std::optional<QLockFile> qtLock;
    if (before == Before::FileLeftByACrash) {
        QFile left(path);
        QVERIFY(left.open(QIODevice::WriteOnly));
        QVERIFY(left.write("4242\nkakiva\nhost\n") > 0);
    } else if (before == Before::OurLockHeld) {
        other.emplace(path);
        QCOMPARE(other->tryLock(), ProcessLock::Outcome::Taken);
    } else if (before == Before::QtLockFileHeld) {
        qtLock.emplace(path);
        QVERIFY(qtLock->tryLock(0));
    }

    ProcessLock lock(path);
    QCOMPARE(lock.tryLock(), outcome);
    QCOMPARE(lock.isHeld(), outcome == ProcessLock::Outcome::Taken);
    if (outcome == ProcessLock::Outcome::Taken) {
        QVERIFY(QFile::exists(path));
        // Held means held: a second try elsewhere is turned away, a second try here is not.
        QCOMPARE(ProcessLock(path).tryLock(), ProcessLock::Outcome::HeldElsewhere);
        QCOMPARE(lock.tryLock(), ProcessLock::Outcome::Taken);
    }
}

void TestProcessLock::lettingGoFreesThePath()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u".lock"_s);
    auto first = std::make_unique<ProcessLock>(path);
    QCOMPARE(first->tryLock(), ProcessLock::Outcome::Taken);
    first.reset();
    QVERIFY(!QFile::exists(path));
    ProcessLock next(path);
    QCOMPARE(next.tryLock(), ProcessLock::Outcome::Taken);
    // A Qt lock file finds it held, as the program would find the Qt lock of another.
    QLockFile qtLock(path);
    QVERIFY(!qtLock.tryLock(0));
}

QTEST_GUILESS_MAIN(TestProcessLock)
#include "TestProcessLock.moc"
