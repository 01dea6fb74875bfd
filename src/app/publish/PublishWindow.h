#pragma once

#include "app/publish/RetryBackoff.h"
#include "platform/BackgroundJob.h"
#include "publish/PublishRun.h"
#include "settings/Settings.h"

#include <QDialog>

#include <chrono>
#include <functional>
#include <optional>

class QTimer;

namespace Kakiva {

// What the two publishing windows share: a timer that starts a run shortly after the window
// appears, the run on a worker thread (so the window never freezes and can always be
// closed: closing cancels it and the window goes once it has stopped), and after a failure
// a new run after a growing pause, as long as the window stays open. Success closes the
// window; a refused certificate or host key ends the runs, since a retry would only ask
// again, and so does a keyring that gives no password. The first run goes with the settings
// the window was opened with; each later run reads them once again, on this thread, so a
// password corrected meanwhile counts. The password is resolved on the worker, since the
// keyring may take its time. A record
// of what the server holds that cannot be written is told once, and publishing goes on.
class PublishWindow : public QDialog
{
    Q_OBJECT

public:
    ~PublishWindow() override;

    // Pauses between failed runs: the first, doubled after each failure up to the last.
    // Defaults: 2 s and 60 s.
    void setRetryDelays(std::chrono::milliseconds first, std::chrono::milliseconds last);
    // The client's limit on connecting, each reply and the data connection.
    void setNetworkTimeout(std::chrono::milliseconds timeout) { m_networkTimeout = timeout; }

    bool isRunning() const { return m_worker->isRunning(); }
    std::chrono::milliseconds nextRetryDelay() const { return m_backoff.next(); }

signals:
    // Emitted once per run, when it has ended, with its result.
    void runFinished(Kakiva::PublishResult result);

public slots:
    void reject() override;

protected:
    // Given the request, with its password, on the worker.
    using Job = std::function<PublishOutcome(PublishRequest request)>;

    // timerName: the timer's name as the window's design gives it; settings: as read for the
    // action that opened the window.
    PublishWindow(const QString &timerName, Settings settings, QWidget *parent);

    // Prepares one run on this thread; the job it returns runs on the worker.
    virtual Job prepareRun() = 0;
    // The run has ended and the window stays open; retryIn is empty when no retry follows.
    virtual void showEnd(const PublishOutcome &outcome,
                         std::optional<std::chrono::milliseconds> retryIn) = 0;
    // Every run's outcome, before the window decides what follows.
    virtual void takeOutcome(const PublishOutcome &) {}
    // Whether success closes the window; one that shows what the run found stays open and
    // shows its end (showEnd, with no retry).
    virtual bool closesWhenDone() const { return true; }

    void closeEvent(QCloseEvent *event) override;

    QTimer *const m_timer;

private:
    void startRun();
    void finishRun();
    Settings settingsForRun();

    BackgroundJob *m_worker;
    PublishOutcome m_outcome; // written by the worker, read once it has finished
    std::optional<Settings> m_opened; // the settings of the first run, until it starts
    RetryBackoff m_backoff;
    std::chrono::milliseconds m_networkTimeout{25000};
    bool m_recordErrorTold = false;
};

} // namespace Kakiva
