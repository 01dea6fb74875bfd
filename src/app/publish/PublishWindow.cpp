#include "app/publish/PublishWindow.h"

#include "app/kit/BusyWait.h"
#include "app/kit/ErrorMessage.h"
#include "app/publish/OutcomeText.h"
#include "app/publish/WorkerTrustQuestion.h"
#include "publish/DestinationPassword.h"

#include <QCloseEvent>
#include <QTimer>

namespace Kakiva {

namespace {

// The first run starts this long after the window appears, so it is drawn first.
constexpr std::chrono::milliseconds FirstTick{30};

// On the worker, once per run: the password for the destination, then the job with it. No
// password to use ends the run before anything connects.
PublishOutcome runWithPassword(PublishRequest request, const Settings &settings,
                               const std::function<PublishOutcome(PublishRequest)> &job)
{
    const std::atomic_bool *cancel = request.cancel;
    const DestinationPassword password =
        destinationPassword(settings, [cancel] { return cancel && cancel->load(); });
    if (password.failure == OutcomeKind::None) {
        request.password = password.password;
        return job(std::move(request));
    }
    PublishOutcome outcome;
    outcome.result =
        cancel && cancel->load() ? PublishResult::Cancelled : PublishResult::NoPassword;
    outcome.failure = PublishFailure(password.failure);
    return outcome;
}

} // namespace

PublishWindow::PublishWindow(const QString &timerName, Settings settings, QWidget *parent)
    : QDialog(parent), m_timer(new QTimer(this)), m_worker(new BackgroundJob(this)),
      m_opened(std::move(settings))
{
    m_timer->setObjectName(timerName);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &PublishWindow::startRun);
    connect(m_worker, &BackgroundJob::finished, this, &PublishWindow::finishRun);
    m_timer->start(FirstTick);
}

PublishWindow::~PublishWindow()
{
    // The run writes into this window: it stops before anything here goes.
    delete m_worker;
}

void PublishWindow::setRetryDelays(std::chrono::milliseconds first, std::chrono::milliseconds last)
{
    m_backoff.setDelays(first, last);
}

void PublishWindow::startRun()
{
    if (isRunning() || m_worker->stopped())
        return;
    const Settings settings = settingsForRun();
    const std::atomic_bool *cancel = m_worker->progress().cancelFlag();
    PublishRequest request{destinationOf(settings), QString(), m_networkTimeout, cancel,
                           trustQuestionsFromWorker(this, cancel)};
    m_worker->start([this, request = std::move(request), settings,
                     job = prepareRun()](JobProgress &) mutable {
        m_outcome = runWithPassword(std::move(request), settings, job);
    });
}

Settings PublishWindow::settingsForRun()
{
    if (!m_opened)
        return readSettings();
    Settings opened = std::move(*m_opened);
    m_opened.reset();
    return opened;
}

void PublishWindow::finishRun()
{
    const PublishOutcome outcome = m_outcome;
    takeOutcome(outcome);
    emit runFinished(outcome.result);
    if (!outcome.recordError.isEmpty() && !m_recordErrorTold) {
        m_recordErrorTold = true;
        showErrorMessage(this, OutcomeText::ofRecordError(outcome.recordError));
    }
    if (m_worker->stopped() || outcome.result == PublishResult::Cancelled) {
        done(QDialog::Rejected);
        return;
    }
    if (outcome.result == PublishResult::Succeeded) {
        if (closesWhenDone())
            done(QDialog::Accepted);
        else
            showEnd(outcome, std::nullopt);
        return;
    }
    if (retryCannotHelp(outcome.result)) {
        showEnd(outcome, std::nullopt);
        return;
    }
    const auto delay = m_backoff.take();
    showEnd(outcome, delay);
    m_timer->start(delay);
}

void PublishWindow::closeEvent(QCloseEvent *event)
{
    m_timer->stop();
    if (!deferCloseWhileRunning(*m_worker, event))
        QDialog::closeEvent(event);
}

void PublishWindow::reject()
{
    if (isRunning()) {
        close();
        return;
    }
    m_timer->stop();
    QDialog::reject();
}

} // namespace Kakiva
