#include "app/publish/UpFor.h"

#include "app/kit/DialogControls.h"
#include "app/kit/FittedText.h"
#include "app/kit/Geometry.h"
#include "app/kit/JapaneseFont.h"
#include "app/publish/OutcomeText.h"
#include "publish/UploadAttempt.h"

#include <QLabel>
#include <QPushButton>

namespace Kakiva {

UpFor::UpFor(journal::SiteChange change, Settings settings, QWidget *parent)
    : PublishWindow(QStringLiteral("UpTim"), std::move(settings), parent), UpTim(m_timer),
      m_pages(std::move(change.written))
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
    setFittedText(UpLab, OutcomeText::of(OutcomeKind::Uploading));

    CloseCom = makeDialogButton(QStringLiteral("CloseCom"), QStringLiteral("閉じる"),
                                twipRect(1320, 840, 1935, 375), this);
}

PublishWindow::Job UpFor::prepareRun()
{
    return [this, pages = m_pages](PublishRequest request) {
        UploadAttempt attempt(std::move(request), [this](OutcomeKind stage) {
            QMetaObject::invokeMethod(
                this, [this, stage] { showStatus(OutcomeText::of(stage)); }, Qt::QueuedConnection);
        });
        return attempt.run(pages);
    };
}

// The attempt shows its stages as they happen; a run that never began says why here.
void UpFor::showEnd(const PublishOutcome &outcome, std::optional<std::chrono::milliseconds>)
{
    if (outcome.result == PublishResult::NoPassword)
        showStatus(OutcomeText::of(outcome.failure));
}

void UpFor::showStatus(const QString &status)
{
    setFittedText(UpLab, status);
}

} // namespace Kakiva
