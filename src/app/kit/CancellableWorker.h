#pragma once

#include <QObject>

#include <atomic>
#include <functional>
#include <memory>

class QCloseEvent;
class QThread;

namespace Kakiva {

// One job at a time on a thread of its own, for a window that must never freeze and can
// always be closed: closing while a job runs raises the cancel flag, and the window closes
// once the job has stopped, so no connection is left behind.
class CancellableWorker : public QObject
{
    Q_OBJECT

public:
    explicit CancellableWorker(QObject *parent = nullptr);
    // Cancels a running job and waits for it.
    ~CancellableWorker() override;

    // Lowers the cancel flag and runs job; does nothing while a job runs or once a close
    // was asked for.
    void start(std::function<void()> job);
    bool isRunning() const { return m_thread != nullptr; }
    const std::atomic_bool *cancelFlag() const { return &m_cancel; }

    // For the window's closeEvent: true when a job runs, which is then cancelled and the
    // event ignored; the window closes on finished(), with closeRequested() set.
    bool deferClose(QCloseEvent *event);
    bool closeRequested() const { return m_closeRequested; }

signals:
    // In the window's thread, once the job has returned.
    void finished();

private:
    void joined();

    std::unique_ptr<QThread> m_thread;
    std::atomic_bool m_cancel{false};
    bool m_closeRequested = false;
};

} // namespace Kakiva
