#include "app/publish/SendFor.h"

#include "app/kit/DialogControls.h"
#include "app/publish/OutcomeText.h"
#include "journal/SiteRoot.h"
#include "pages/PagePaths.h"
#include "publish/ServerRecord.h"

#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace Kakiva {

namespace {

// A site written before Kakiva shipped its starters, or before the public address was set,
// gets its root files now, so they go with the rest; a file that cannot be written stays
// out of the list and is tried again at the next save.
QList<SiteFile> filesIn(SendFor::Scope scope, const Settings &settings)
{
    if (QFileInfo(htmlRootPath()).isDir()) {
        journal::SiteChange root;
        journal::refreshSiteRoot(settings.siteUrl, &root);
    }
    if (scope == SendFor::Scope::Everything)
        return siteFiles();
    return unsentFiles(ServerRecord(destinationOf(settings)));
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

SendFor::SendFor(Scope scope, QWidget *parent) : SendFor(scope, readSettings(), parent) {}

SendFor::SendFor(Scope scope, const Settings &settings, QWidget *parent)
    : PublishWindow(QStringLiteral("SendTim"), settings, parent), SendTim(m_timer),
      m_pending(filesIn(scope, settings))
{
    setObjectName(QStringLiteral("SendFor"));
    setWindowFlags(FixedDialogFlags);
    setWindowTitle(scope == Scope::Everything ? QStringLiteral("すべて送信し直す")
                                              : QStringLiteral("未送信を送信"));
    m_filesTotal = static_cast<int>(m_pending.size());
    for (const SiteFile &file : m_pending)
        m_bytesTotal += file.size;
    buildControls();
    showProgress({});
    connect(StopCom, &QPushButton::clicked, this, &SendFor::close);
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
}

PublishWindow::Job SendFor::prepareRun()
{
    StatusLab->setText(QStringLiteral("送信中"));
    m_runClock.start();
    return [this, files = m_pending, sessions = m_maxSessions](PublishRequest request) {
        BulkPublish publish(std::move(request), files);
        publish.setMaxSessions(sessions);
        publish.setProgressSink([this](const BulkProgress &progress) {
            QMetaObject::invokeMethod(
                this, [this, progress] { showProgress(progress); }, Qt::QueuedConnection);
        });
        return publish.run();
    };
}

void SendFor::takeOutcome(const PublishOutcome &outcome)
{
    m_pending.removeIf(
        [&](const SiteFile &file) { return outcome.confirmed.contains(file.remotePath); });
    m_filesBefore = m_filesTotal - static_cast<int>(m_pending.size());
    m_bytesBefore = m_bytesTotal;
    for (const SiteFile &file : m_pending)
        m_bytesBefore -= file.size;
}

void SendFor::showEnd(const PublishOutcome &outcome,
                      std::optional<std::chrono::milliseconds> retryIn)
{
    if (!retryIn) {
        StatusLab->setText(OutcomeText::of(outcome.failure));
        return;
    }
    StatusLab->setText(
        OutcomeText::of(outcome.failure) +
        QStringLiteral("\n%1 秒後にもう一度送ります").arg((retryIn->count() + 999) / 1000));
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

} // namespace Kakiva
