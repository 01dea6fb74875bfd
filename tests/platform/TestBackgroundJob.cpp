#include "platform/BackgroundJob.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>

using namespace Kakiva;

namespace {

// A job that runs until it is cancelled or let go, telling how far it got.
struct HeldJob
{
    std::atomic_bool started{false};
    std::atomic_bool letGo{false};
    std::atomic_bool ended{false};
    std::atomic_bool sawCancel{false};
    QThread *thread = nullptr;

    BackgroundJob::Job job()
    {
        return [this](JobProgress &progress) {
            thread = QThread::currentThread();
            progress.setTotal(10);
            progress.setDone(3);
            started = true;
            while (!letGo && !progress.cancelled())
                QThread::msleep(1);
            sawCancel = progress.cancelled();
            ended = true;
        };
    }
};

} // namespace

class TestBackgroundJob : public QObject
{
    Q_OBJECT

private slots:
    void runsOffTheCallersThreadAndFinishesInIt();
    void oneJobAtATime();
    void stopCancelsAndRefusesNewJobs();
    void destroyingCancelsAndWaits();
    void progressStartsAfreshWithEachJob();
};

void TestBackgroundJob::runsOffTheCallersThreadAndFinishesInIt()
{
    BackgroundJob worker;
    HeldJob held;
    QThread *finishedIn = nullptr;
    connect(&worker, &BackgroundJob::finished, this, [&] { finishedIn = QThread::currentThread(); });
    QVERIFY(worker.start(held.job()));
    QTRY_VERIFY(held.started);
    QCOMPARE(worker.progress().done(), 3);
    QCOMPARE(worker.progress().total(), 10);
    QVERIFY(held.thread != QThread::currentThread());
    held.letGo = true;
    QTRY_VERIFY(!worker.isRunning());
    QCOMPARE(finishedIn, QThread::currentThread());
    QVERIFY(held.ended);
    QVERIFY(!held.sawCancel);
}

void TestBackgroundJob::oneJobAtATime()
{
    BackgroundJob worker;
    HeldJob first;
    std::atomic_bool secondRan{false};
    QVERIFY(worker.start(first.job()));
    QVERIFY(!worker.start([&](JobProgress &) { secondRan = true; }));
    first.letGo = true;
    QSignalSpy finished(&worker, &BackgroundJob::finished);
    QVERIFY(finished.wait());
    QCOMPARE(finished.count(), 1);
    QVERIFY(!secondRan);
    // Once the first has ended, the next may start.
    QVERIFY(worker.start([&](JobProgress &) { secondRan = true; }));
    QVERIFY(finished.wait());
    QVERIFY(secondRan);
}

void TestBackgroundJob::stopCancelsAndRefusesNewJobs()
{
    BackgroundJob worker;
    HeldJob held;
    QVERIFY(worker.start(held.job()));
    QTRY_VERIFY(held.started);
    worker.stop();
    QVERIFY(worker.stopped());
    QSignalSpy finished(&worker, &BackgroundJob::finished);
    QVERIFY(finished.wait());
    QVERIFY(held.sawCancel);
    QVERIFY(!worker.start([](JobProgress &) {}));
    QVERIFY(!worker.isRunning());
}

void TestBackgroundJob::destroyingCancelsAndWaits()
{
    HeldJob held;
    auto worker = std::make_unique<BackgroundJob>();
    QVERIFY(worker->start(held.job()));
    QTRY_VERIFY(held.started);
    worker.reset();
    // The job had returned before the owner was gone: nothing it writes outlives it.
    QVERIFY(held.ended);
    QVERIFY(held.sawCancel);
}

void TestBackgroundJob::progressStartsAfreshWithEachJob()
{
    BackgroundJob worker;
    HeldJob held;
    QVERIFY(worker.start(held.job()));
    QTRY_VERIFY(held.started);
    worker.progress().cancel();
    QSignalSpy finished(&worker, &BackgroundJob::finished);
    QVERIFY(finished.wait());
    bool cancelledAtStart = true;
    qint64 doneAtStart = -1;
    QVERIFY(worker.start([&](JobProgress &progress) {
        cancelledAtStart = progress.cancelled();
        doneAtStart = progress.done();
    }));
    QVERIFY(finished.wait());
    QVERIFY(!cancelledAtStart);
    QCOMPARE(doneAtStart, 0);
}

QTEST_GUILESS_MAIN(TestBackgroundJob)
#include "TestBackgroundJob.moc"
