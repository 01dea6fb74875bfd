#include "app/UpFor.h"

#include "app/DialogControls.h"
#include "app/FittedText.h"
#include "app/Geometry.h"
#include "app/JapaneseFont.h"
#include "publish/UploadAttempt.h"
#include "publish/UploadStatus.h"

#include <QLabel>
#include <QPushButton>

namespace Kakiva {

UpFor::UpFor(DateSource dateSource, QWidget *parent)
    : PublishWindow(QStringLiteral("UpTim"), parent), UpTim(m_timer),
      m_dateSource(std::move(dateSource))
{
    buildControls();
    connect(CloseCom, &QPushButton::clicked, this, &UpFor::close);
    // Always enabled and focused, Space and Return press it: during an attempt it cancels.
    CloseCom->setDefault(true);
    CloseCom->setFocus();
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
}

PublishWindow::Job UpFor::prepareRun(const PublishRequest &request)
{
    UploadAttempt attempt(request, [this](const QString &status) {
        QMetaObject::invokeMethod(
            this, [this, status] { showStatus(status); }, Qt::QueuedConnection);
    });
    return [attempt = std::move(attempt), date = m_dateSource()]() mutable {
        return attempt.run(date);
    };
}

void UpFor::showStatus(const QString &status)
{
    setFittedText(UpLab, status);
}

} // namespace Kakiva
