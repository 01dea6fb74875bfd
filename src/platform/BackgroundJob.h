#pragma once

#include <QObject>

#include <atomic>
#include <functional>
#include <memory>

class QThread;

namespace Kakiva {

// What a running job and the window waiting for it share: the job reads cancelled()
// between its steps and tells how far it got; the window shows that and may cancel.
class JobProgress
{
public:
    void cancel() { m_cancel = true; }
    bool cancelled() const { return m_cancel; }
    // For calls that take the bare flag.
    const std::atomic_bool *cancelFlag() const { return &m_cancel; }

    // Steps done of total; a total of 0 means the job cannot tell (a busy state).
    void setTotal(qint64 total) { m_total = total; }
    void setDone(qint64 done) { m_done = done; }
    qint64 total() const { return m_total; }
    qint64 done() const { return m_done; }

    // Before a job starts again.
    void reset();

private:
    std::atomic_bool m_cancel{false};
    std::atomic<qint64> m_total{0};
    std::atomic<qint64> m_done{0};
};

// The one way long work leaves the thread of the window that asked for it: one job at a
// time on a thread of its own, with progress and a cancel flag. finished() comes in the
// thread that owns this object, once the job has returned; destroying the object cancels
// a running job and waits for it, so no job outlives its owner.
class BackgroundJob : public QObject
{
    Q_OBJECT

public:
    using Job = std::function<void(JobProgress &)>;

    explicit BackgroundJob(QObject *parent = nullptr);
    ~BackgroundJob() override;

    // Runs job unless one runs or stop() was called; false when it did not start.
    bool start(Job job);
    bool isRunning() const { return m_thread != nullptr; }
    JobProgress &progress() { return m_progress; }
    const JobProgress &progress() const { return m_progress; }

    // Cancels the running job and refuses new ones: for an owner that is going away.
    void stop();
    bool stopped() const { return m_stopped; }

    // Blocks until the running job has returned; finished() then still follows.
    void wait();

signals:
    void finished();

private:
    void joined();

    std::unique_ptr<QThread> m_thread;
    JobProgress m_progress;
    bool m_stopped = false;
};

} // namespace Kakiva
