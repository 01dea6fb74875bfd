#include "app/SendFor.h"

#include "app/DialogControls.h"
#include "app/FittedText.h"
#include "app/WorkerTrustQuestion.h"
#include "publish/DestinationPassword.h"
#include "publish/ServerRecord.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace Kakiva {

namespace {

// The first run starts this long after the window appears, so it is drawn first.
constexpr std::chrono::milliseconds FirstTick{30};

QList<SiteFile> filesIn(SendFor::Scope scope)
{
    if (scope == SendFor::Scope::Everything)
        return siteFiles();
    return unsentFiles(ServerRecord(configuredDestination()));
}

QString bytesText(qint64 bytes)
{
    return QLocale(QLocale::Japanese)
        .formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

// From the pace of the files so far: on a distant server each file costs round trips far
// more than its bytes.
QString timeLeftText(qint64 elapsedMs, int done, int left)
{
    if (done == 0)
        return QStringLiteral("残り時間: 計算中");
    const qint64 seconds = (elapsedMs * left / done + 999) / 1000;
    if (seconds < 60)
        return QStringLiteral("残り約 %1 秒").arg(seconds);
    return QStringLiteral("残り約 %1 分").arg((seconds + 59) / 60);
}

QLabel *addLabel(QVBoxLayout *layout, const QString &name, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    layout->addWidget(label);
    return label;
}

} // namespace

SendFor::SendFor(Scope scope, QWidget *parent)
    : QDialog(parent, FixedDialogFlags), m_pending(filesIn(scope)),
      m_worker(new CancellableWorker(this))
{
    setObjectName(QStringLiteral("SendFor"));
    setWindowTitle(scope == Scope::Everything ? QStringLiteral("すべて送信し直す")
                                              : QStringLiteral("未送信を送信"));
    m_filesTotal = static_cast<int>(m_pending.size());
    for (const SiteFile &file : m_pending)
        m_bytesTotal += file.size;
    buildControls();
    showProgress({});
    connect(SendTim, &QTimer::timeout, this, &SendFor::startRun);
    connect(StopCom, &QPushButton::clicked, this, &SendFor::close);
    connect(m_worker, &CancellableWorker::finished, this, &SendFor::finishRun);
    SendTim->start(FirstTick);
}

SendFor::~SendFor()
{
    // The job writes into this window: it stops before anything here goes.
    delete m_worker;
}

void SendFor::buildControls()
{
    auto *layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    CountLab = addLabel(layout, QStringLiteral("CountLab"), this);
    SendBar = new QProgressBar(this);
    SendBar->setObjectName(QStringLiteral("SendBar"));
    SendBar->setRange(0, std::max(m_filesTotal, 1));
    SendBar->setMinimumWidth(360);
    layout->addWidget(SendBar);
    FileLab = addLabel(layout, QStringLiteral("FileLab"), this);
    BytesLab = addLabel(layout, QStringLiteral("BytesLab"), this);
    TimeLab = addLabel(layout, QStringLiteral("TimeLab"), this);
    StatusLab = addLabel(layout, QStringLiteral("StatusLab"), this);
    StatusLab->setWordWrap(true);
    StatusLab->setText(QStringLiteral("送信中"));

    StopCom = new QPushButton(QStringLiteral("中止"), this);
    StopCom->setObjectName(QStringLiteral("StopCom"));
    StopCom->setDefault(true);
    layout->addWidget(StopCom, 0, Qt::AlignHCenter);
    StopCom->setFocus();

    SendTim = new QTimer(this);
    SendTim->setObjectName(QStringLiteral("SendTim"));
    SendTim->setSingleShot(true);
}

void SendFor::setRetryDelays(std::chrono::milliseconds first, std::chrono::milliseconds last)
{
    m_backoff.setDelays(first, last);
}

void SendFor::startRun()
{
    if (isRunning() || m_worker->closeRequested())
        return;
    StatusLab->setText(QStringLiteral("送信中"));
    // The settings are read at each run, so a corrected password takes effect at the next.
    const PublishDestination destination = configuredDestination();
    const std::atomic_bool *cancel = m_worker->cancelFlag();
    const auto trust = trustQuestionsFromWorker(this, cancel);
    m_runClock.start();
    m_worker->start([this, destination, cancel, trust] {
        // Here, not in the window's thread: the keyring may take its time to answer.
        const DestinationPassword password =
            destinationPassword(destination, [cancel] { return cancel->load(); });
        if (!password.failure.isEmpty()) {
            m_outcome = {};
            m_outcome.result =
                cancel->load() ? BulkOutcome::Result::Cancelled : BulkOutcome::Result::NoPassword;
            m_outcome.reason = password.failure;
            return;
        }
        BulkPublish publish(destination, password.password, m_pending);
        publish.setCancelFlag(cancel);
        publish.setTimeout(m_networkTimeout);
        publish.setMaxSessions(m_maxSessions);
        publish.setTrustQuestions(trust);
        publish.setProgressSink([this](const BulkProgress &progress) {
            QMetaObject::invokeMethod(
                this, [this, progress] { showProgress(progress); }, Qt::QueuedConnection);
        });
        m_outcome = publish.run();
    });
}

void SendFor::finishRun()
{
    const BulkOutcome outcome = m_outcome;
    m_pending.removeIf(
        [&](const SiteFile &file) { return outcome.confirmed.contains(file.remotePath); });
    m_filesBefore = m_filesTotal - static_cast<int>(m_pending.size());
    m_bytesBefore = m_bytesTotal;
    for (const SiteFile &file : m_pending)
        m_bytesBefore -= file.size;
    emit runFinished(outcome.result);
    if (m_worker->closeRequested() || outcome.result == BulkOutcome::Result::Cancelled) {
        done(QDialog::Rejected);
        return;
    }
    if (outcome.result == BulkOutcome::Result::Succeeded) {
        done(QDialog::Accepted);
        return;
    }
    if (outcome.result == BulkOutcome::Result::CertificateRefused ||
        outcome.result == BulkOutcome::Result::HostKeyRefused ||
        outcome.result == BulkOutcome::Result::NoPassword) {
        StatusLab->setText(outcome.reason); // a retry would only ask again, or fail alike
        return;
    }
    const auto delay = m_backoff.take();
    StatusLab->setText(
        outcome.reason +
        QStringLiteral("\n%1 秒後にもう一度送ります").arg((delay.count() + 999) / 1000));
    SendTim->start(delay);
}

void SendFor::showProgress(const BulkProgress &progress)
{
    const int done = m_filesBefore + progress.filesDone;
    CountLab->setText(QStringLiteral("%1 / %2 ファイル").arg(done).arg(m_filesTotal));
    SendBar->setValue(done);
    FileLab->setText(progress.currentFile);
    BytesLab->setText(bytesText(m_bytesBefore + progress.bytesDone) + QStringLiteral(" / ") +
                      bytesText(m_bytesTotal));
    TimeLab->setText(timeLeftText(m_runClock.isValid() ? m_runClock.elapsed() : 0,
                                  progress.filesDone, m_filesTotal - done));
}

void SendFor::closeEvent(QCloseEvent *event)
{
    SendTim->stop();
    if (!m_worker->deferClose(event))
        QDialog::closeEvent(event);
}

void SendFor::reject()
{
    if (isRunning()) {
        close();
        return;
    }
    SendTim->stop();
    QDialog::reject();
}

} // namespace Kakiva
