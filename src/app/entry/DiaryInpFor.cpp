#include "app/entry/DiaryInpFor.h"

#include "app/entry/DraftAutosave.h"
#include "app/entry/EntryQuestions.h"
#include "app/kit/DialogControls.h"
#include "app/kit/ErrorMessage.h"
#include "app/kit/Geometry.h"
#include "app/publish/UpFor.h"
#include "diary/DateStrings.h"
#include "diary/EntryDrafts.h"
#include "diary/EntryStore.h"
#include "diary/PrivateDays.h"
#include "journal/DaySave.h"
#include "publish/PublishDestination.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>

namespace Kakiva {

namespace {

// The box holds lines as the widget does, separated by '\n'; stored entries separate
// them with CR LF.
QString toStoredText(QString shown)
{
    return shown.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
}

QString toShownText(QString stored)
{
    return stored.replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

} // namespace

DiaryInpFor::DiaryInpFor(QWidget *parent) : QDialog(parent, FixedDialogFlags)
{
    setObjectName(QStringLiteral("DiaryInpFor"));
    setWindowTitle(QStringLiteral("日記"));
    setFixedSize(twipSize(6285, 4635));
    buildControls();
    m_drafts = new DraftAutosave(DiaryTex);
    connect(OkCom, &QPushButton::clicked, this, &DiaryInpFor::saveAndPublish);
    connect(CancelCom, &QPushButton::clicked, this, &DiaryInpFor::reject);
}

void DiaryInpFor::buildControls()
{
    DiaryTex = new QPlainTextEdit(this);
    DiaryTex->setObjectName(QStringLiteral("DiaryTex"));
    DiaryTex->setGeometry(twipRect(0, 0, 6255, 4095));
    // Words wrap at the edge, so no horizontal bar is ever needed; a vertical bar comes
    // only when the entry outgrows the box, so no line is ever out of reach.
    DiaryTex->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    DiaryTex->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    DiaryTex->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Tab moves on to OK, which keeps the dialog usable from the keyboard alone.
    DiaryTex->setTabChangesFocus(true);

    OkCom = makeDialogButton(QStringLiteral("OkCom"), QStringLiteral("OK"),
                             twipRect(4200, 4200, 855, 375), this);
    CancelCom = makeDialogButton(QStringLiteral("CancelCom"), QStringLiteral("Cancel"),
                                 twipRect(5280, 4200, 855, 375), this);
    setTabOrder(DiaryTex, OkCom);
    setTabOrder(OkCom, CancelCom);
}

int DiaryInpFor::showModal()
{
    load();
    return exec();
}

void DiaryInpFor::load()
{
    MonthStr = twoDigitDateField(MonthStr);
    DayStr = twoDigitDateField(DayStr);
    setWindowTitle(QStringLiteral("日記-") + YearStr + QLatin1Char('/') + MonthStr +
                   QLatin1Char('/') + DayStr);
    // A day without an entry reads as nothing, which is the empty box of a new day.
    QString stored;
    QString error;
    const bool unreadable = DiaryRead(YearStr, MonthStr, DayStr, stored, &error) == EntryUnreadable;
    m_loaded = toShownText(stored);
    DiaryTex->setPlainText(m_loaded);
    lockUnreadableEntry(unreadable ? error : QString());
    if (!unreadable) {
        offerDraft();
        m_drafts->start({YearStr, MonthStr, DayStr}, m_loaded);
    }
    DiaryTex->setFocus();
}

void DiaryInpFor::offerDraft()
{
    const std::optional<QString> draft = pendingDraft({YearStr, MonthStr, DayStr});
    if (!draft || *draft == m_loaded)
        return;
    // Asked over the calendar before this dialog shows, so it opens with the text chosen.
    // Restoring only fills the box: the entry changes on OK, as after typing.
    if (askRestoreDraft(parentWidget(), windowTitle()))
        DiaryTex->setPlainText(*draft);
}

void DiaryInpFor::lockUnreadableEntry(const QString &error)
{
    // An entry that exists but cannot be read would be lost to whatever is typed over
    // its empty box, so nothing can be typed or saved until it reads again.
    const bool locked = !error.isEmpty();
    const QString message =
        locked ? QStringLiteral("日記を読み込めませんでした。\n") + error +
                     QStringLiteral("\n読み込めるようになるまで、この日の日記は保存できません。")
               : QString();
    DiaryTex->setReadOnly(locked);
    DiaryTex->setPlaceholderText(message);
    OkCom->setEnabled(!locked);
    // Told once the dialog is on screen, so the message stands over it.
    if (locked)
        QMetaObject::invokeMethod(
            this, [this, message] { showErrorMessage(this, message); }, Qt::QueuedConnection);
}

void DiaryInpFor::reject()
{
    if (DiaryTex->toPlainText() != m_loaded && !askDiscardChanges(this))
        return;
    QDialog::reject();
}

void DiaryInpFor::done(int result)
{
    m_drafts->finish();
    QDialog::done(result);
}

void DiaryInpFor::keyPressEvent(QKeyEvent *event)
{
    // Input methods cancel a conversion with Escape, and a second press must not throw
    // the text away, so Escape closes nothing here.
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void DiaryInpFor::saveAndPublish()
{
    const QString text = DiaryTex->toPlainText();
    // An empty box is how a day is left as it was: nothing to save, nothing to ask.
    if (text.isEmpty()) {
        done(Rejected);
        return;
    }
    const Settings settings = readSettings();
    const DateFields date{YearStr, MonthStr, DayStr};
    const journal::SiteChange saved = journal::saveDay(date, toStoredText(text), settings.siteUrl);
    if (saved.failure != journal::SiteChange::Failure::Entry) {
        m_loaded = text;
        m_drafts->entrySaved(text);
    }
    if (!saved.ok()) {
        showFailure(saved);
        return;
    }
    // With no server there is nowhere to send: the pages wait, marked unsent once one is set.
    // A private day has nothing to send.
    if (destinationOf(settings).isSet() && !isPrivateDay(dateOf(date)))
        publishPages(saved, settings);
    accept();
}

void DiaryInpFor::showFailure(const journal::SiteChange &saved)
{
    const QString what = saved.failure == journal::SiteChange::Failure::Entry
                             ? QStringLiteral("日記を保存できませんでした。\n")
                             : QStringLiteral("ページを作成できませんでした。\n");
    showErrorMessage(this, what + saved.error);
}

void DiaryInpFor::publishPages(const journal::SiteChange &saved, const Settings &settings)
{
    // The dialog stays open beneath the upload window until that has gone, whether it
    // succeeded or the user closed it.
    UpFor upload(saved, settings, this);
    upload.exec();
}

} // namespace Kakiva
