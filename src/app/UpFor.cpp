#include "app/UpFor.h"

#include "app/DialogControls.h"
#include "app/FittedText.h"
#include "app/Geometry.h"
#include "app/JapaneseFont.h"
#include "app/WorkerTrustQuestion.h"
#include "publish/PublishClientFactory.h"
#include "publish/PublishDestination.h"
#include "publish/UploadStatus.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace Kakiva {

namespace {

// The first attempt starts this long after the window appears.
constexpr std::chrono::milliseconds FirstTick{30};

} // namespace

UpFor::UpFor(DateSource dateSource, QWidget *parent)
    : QDialog(parent), m_dateSource(std::move(dateSource)), m_worker(new CancellableWorker(this))
{
    buildControls();
    connect(UpTim, &QTimer::timeout, this, &UpFor::startAttempt);
    connect(m_worker, &CancellableWorker::finished, this, &UpFor::finishAttempt);
    connect(CloseCom, &QPushButton::clicked, this, &UpFor::close);
    // Always enabled and focused, Space and Return press it: during an attempt it cancels.
    CloseCom->setDefault(true);
    CloseCom->setFocus();
    UpTim->start(FirstTick);
}

UpFor::~UpFor()
{
    // The attempt writes into this window: it stops before anything here goes.
    delete m_worker;
}

void UpFor::buildControls()
{
    setObjectName(QStringLiteral("UpFor"));
    setWindowTitle(QString());
    setWindowFlags(FixedDialogFlags);
    setFixedSize(twipSize(4680, 1305));

    UpLab = new QLabel(this);
    UpLab->setObjectName(QStringLiteral("UpLab"));
    UpLab->setAlignment(Qt::AlignCenter);
    UpLab->setGeometry(twipRect(480, 120, 3615, 495));
    UpLab->setFont(japaneseGothicFont(20.25));
    setFittedText(UpLab, UploadStatus::Uploading);

    CloseCom = makeDialogButton(QStringLiteral("CloseCom"), QStringLiteral("閉じる"),
                                twipRect(1320, 840, 1935, 375), this);

    UpTim = new QTimer(this);
    UpTim->setObjectName(QStringLiteral("UpTim"));
    UpTim->setSingleShot(true);
}

void UpFor::setRetryDelays(std::chrono::milliseconds first, std::chrono::milliseconds last)
{
    m_backoff.setDelays(first, last);
}

void UpFor::setNetworkTimeout(std::chrono::milliseconds timeout)
{
    m_networkTimeout = timeout;
}

bool UpFor::isAttemptRunning() const
{
    return m_worker->isRunning();
}

void UpFor::startAttempt()
{
    if (isAttemptRunning() || m_worker->closeRequested())
        return;
    const UploadDate date = m_dateSource();
    const auto timeout = m_networkTimeout;
    const std::atomic_bool *cancel = m_worker->cancelFlag();
    m_worker->start([this, date, timeout, cancel] {
        const std::unique_ptr<PublishClient> client =
            makePublishClient(configuredDestination().server);
        client->setCancelFlag(cancel);
        client->setTimeout(timeout);
        UploadAttempt attempt(
            *client,
            [this](const QString &status) {
                QMetaObject::invokeMethod(
                    this, [this, status] { showStatus(status); }, Qt::QueuedConnection);
            },
            [cancel] { return cancel->load(); });
        attempt.setTrustQuestions(trustQuestionsFromWorker(this, cancel));
        m_result = attempt.run(date);
    });
}

void UpFor::finishAttempt()
{
    const UploadAttempt::Result result = m_result;
    emit attemptFinished(result);
    if (m_worker->closeRequested() || result == UploadAttempt::Result::Cancelled) {
        done(QDialog::Rejected);
        return;
    }
    if (result == UploadAttempt::Result::Succeeded) {
        done(QDialog::Accepted);
        return;
    }
    CloseCom->setEnabled(true);
    if (result == UploadAttempt::Result::CertificateRefused ||
        result == UploadAttempt::Result::HostKeyRefused ||
        result == UploadAttempt::Result::NoPassword)
        return; // a retry would only ask again, or fail the same way
    UpTim->start(m_backoff.take());
}

void UpFor::showStatus(const QString &status)
{
    setFittedText(UpLab, status);
}

void UpFor::closeEvent(QCloseEvent *event)
{
    UpTim->stop();
    if (!m_worker->deferClose(event))
        QDialog::closeEvent(event);
}

void UpFor::reject()
{
    if (isAttemptRunning()) {
        close();
        return;
    }
    UpTim->stop();
    QDialog::reject();
}

} // namespace Kakiva
