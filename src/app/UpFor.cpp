#include "app/UpFor.h"

#include "app/CertFor.h"
#include "app/DialogControls.h"
#include "app/FittedText.h"
#include "app/Geometry.h"
#include "app/JapaneseFont.h"
#include "publish/FtpClient.h"
#include "publish/UploadStatus.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include <condition_variable>
#include <mutex>
#include <optional>

namespace Kakiva {

namespace {

// The first attempt starts this long after the window appears.
constexpr std::chrono::milliseconds FirstTick{30};
// How often a worker waiting for the user's answer looks at the cancel flag.
constexpr std::chrono::milliseconds AnswerSlice{50};

// The user's answer to one trust question, handed from the window's thread to the worker.
struct TrustAnswer
{
    std::mutex mutex;
    std::condition_variable given;
    std::optional<bool> trusted;
};

} // namespace

UpFor::UpFor(DateSource dateSource, QWidget *parent)
    : QDialog(parent), m_dateSource(std::move(dateSource))
{
    buildControls();
    connect(UpTim, &QTimer::timeout, this, &UpFor::startAttempt);
    connect(CloseCom, &QPushButton::clicked, this, &UpFor::close);
    // Always enabled and focused, Space and Return press it: during an attempt it cancels.
    CloseCom->setDefault(true);
    CloseCom->setFocus();
    UpTim->start(FirstTick);
}

UpFor::~UpFor()
{
    cancelAndWait();
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
    m_firstDelay = first;
    m_lastDelay = last;
    m_nextDelay = first;
}

void UpFor::setNetworkTimeout(std::chrono::milliseconds timeout)
{
    m_networkTimeout = timeout;
}

bool UpFor::isAttemptRunning() const
{
    return m_worker != nullptr;
}

void UpFor::startAttempt()
{
    if (isAttemptRunning() || m_closeRequested)
        return;
    m_cancel = false;
    const UploadDate date = m_dateSource();
    const auto timeout = m_networkTimeout;
    m_worker.reset(QThread::create([this, date, timeout] {
        FtpClient client;
        client.setCancelFlag(&m_cancel);
        client.setTimeout(timeout);
        UploadAttempt attempt(
            client,
            [this](const QString &status) {
                QMetaObject::invokeMethod(
                    this, [this, status] { showStatus(status); }, Qt::QueuedConnection);
            },
            [this] { return m_cancel.load(); });
        attempt.setTrustQuestion([this](const FtpCertificateQuestion &question) {
            return askTrustFromWorker(question);
        });
        m_result = attempt.run(date);
    }));
    connect(m_worker.get(), &QThread::finished, this, &UpFor::finishAttempt);
    m_worker->start();
}

void UpFor::finishAttempt()
{
    m_worker->wait();
    m_worker.reset();
    const UploadAttempt::Result result = m_result;
    emit attemptFinished(result);
    if (m_closeRequested || result == UploadAttempt::Result::Cancelled) {
        done(QDialog::Rejected);
        return;
    }
    if (result == UploadAttempt::Result::Succeeded) {
        done(QDialog::Accepted);
        return;
    }
    CloseCom->setEnabled(true);
    if (result == UploadAttempt::Result::CertificateRefused)
        return; // a retry would only ask again
    // Retrying at once would flood the server with logins (and a wrong password can get
    // the user's address banned), so wait longer after each failure.
    UpTim->start(m_nextDelay);
    m_nextDelay = std::min(m_nextDelay * 2, m_lastDelay);
}

void UpFor::showStatus(const QString &status)
{
    setFittedText(UpLab, status);
}

void UpFor::closeEvent(QCloseEvent *event)
{
    UpTim->stop();
    if (isAttemptRunning()) {
        // The attempt notices within a fraction of a second; the window closes when it
        // has stopped, so no connection is left behind.
        m_closeRequested = true;
        m_cancel = true;
        event->ignore();
        return;
    }
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

// Runs on the worker. The window asks on its own thread; the worker waits in slices, so that
// closing the window (which raises the cancel flag) never leaves it waiting for an answer.
bool UpFor::askTrustFromWorker(const FtpCertificateQuestion &question)
{
    auto answer = std::make_shared<TrustAnswer>();
    QMetaObject::invokeMethod(
        this,
        [this, question, answer] {
            CertFor dialog(question, this);
            const bool trusted = dialog.exec() == QDialog::Accepted;
            const std::lock_guard lock(answer->mutex);
            answer->trusted = trusted;
            answer->given.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(answer->mutex);
    while (!answer->trusted) {
        if (m_cancel)
            return false;
        answer->given.wait_for(lock, AnswerSlice);
    }
    return *answer->trusted;
}

void UpFor::cancelAndWait()
{
    if (!m_worker)
        return;
    m_cancel = true;
    m_worker->wait();
    m_worker.reset();
}

} // namespace Kakiva
