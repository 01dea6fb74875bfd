#include "app/entry/DiaryInpFor.h"

#include "app/entry/DraftAutosave.h"
#include "app/entry/EntryQuestions.h"
#include "app/entry/EntryTextEdit.h"
#include "app/entry/PictureInsert.h"
#include "app/entry/PictureStrip.h"
#include "app/kit/DialogControls.h"
#include "app/kit/ErrorMessage.h"
#include "app/kit/FittedText.h"
#include "app/kit/Geometry.h"
#include "app/publish/UpFor.h"
#include "diary/DateStrings.h"
#include "diary/EntryDrafts.h"
#include "diary/EntryStore.h"
#include "diary/PrivateDays.h"
#include "journal/DayPictures.h"
#include "journal/DaySave.h"
#include "pictures/WebPicture.h"
#include "publish/PublishDestination.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStandardPaths>

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

const QString PictureHint =
    QStringLiteral("画像は位置情報などの撮影データを取り除いてから載せます。");
const QString PictureWork = QStringLiteral("画像を作成しています…（位置情報などは取り除きます）");
const QString PictureWait = QStringLiteral("画像ができるのを待って保存します…");

// The text box above the row of pictures, or the whole area when there is none.
const QRect TextAlone = twipRect(0, 0, 6255, 4095);
const QRect TextAbovePictures = twipRect(0, 0, 6255, 2850);

} // namespace

DiaryInpFor::DiaryInpFor(QWidget *parent) : QDialog(parent, FixedDialogFlags)
{
    setObjectName(QStringLiteral("DiaryInpFor"));
    setWindowTitle(QStringLiteral("日記"));
    setFixedSize(twipSize(6285, 4635));
    buildControls();
    m_drafts = new DraftAutosave(DiaryTex);
    m_pictures = new PictureInsert(this);
    connectPictures(static_cast<EntryTextEdit *>(DiaryTex));
    connect(OkCom, &QPushButton::clicked, this, &DiaryInpFor::saveAndPublish);
    connect(CancelCom, &QPushButton::clicked, this, &DiaryInpFor::reject);
}

void DiaryInpFor::buildControls()
{
    DiaryTex = new EntryTextEdit(this);
    DiaryTex->setObjectName(QStringLiteral("DiaryTex"));
    DiaryTex->setGeometry(TextAlone);
    // Words wrap at the edge, so no horizontal bar is ever needed; a vertical bar comes
    // only when the entry outgrows the box, so no line is ever out of reach.
    DiaryTex->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    DiaryTex->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    DiaryTex->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Tab moves on to OK, which keeps the dialog usable from the keyboard alone.
    DiaryTex->setTabChangesFocus(true);

    PictureNote = new QLabel(this);
    PictureNote->setObjectName(QStringLiteral("PictureNote"));
    PictureNote->setGeometry(twipRect(60, 2880, 6135, 255));
    PictureRow = new PictureStrip(this);
    PictureRow->setGeometry(twipRect(0, 3150, 6255, 990));

    // Left of OK, as wide as its caption needs, never reaching OK.
    InsertCom = makeDialogButton(QStringLiteral("InsertCom"), QStringLiteral("画像を挿入(&I)..."),
                                 twipRect(60, 4200, 2400, 375), this);
    InsertCom->setToolTip(QStringLiteral("画像を挿入します（Ctrl+I）。ファイルを文章に"
                                         "ドロップしたり、画像を貼り付けたりもできます。"));
    const int fitted = std::max(InsertCom->width(), InsertCom->sizeHint().width());
    InsertCom->resize(std::min(fitted, twipsToPixels(4200 - 60 - 60)), InsertCom->height());
    OkCom = makeDialogButton(QStringLiteral("OkCom"), QStringLiteral("OK"),
                             twipRect(4200, 4200, 855, 375), this);
    CancelCom = makeDialogButton(QStringLiteral("CancelCom"), QStringLiteral("Cancel"),
                                 twipRect(5280, 4200, 855, 375), this);
    showPictureArea();
    // Tab from the text still reaches OK first; the insert button, which Ctrl+I and Alt+I
    // reach anyway, comes after Cancel.
    setTabOrder(DiaryTex, OkCom);
    setTabOrder(OkCom, CancelCom);
    setTabOrder(CancelCom, InsertCom);
}

void DiaryInpFor::connectPictures(EntryTextEdit *text)
{
    connect(InsertCom, &QPushButton::clicked, this, &DiaryInpFor::choosePictures);
    auto *shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_I), this);
    connect(shortcut, &QShortcut::activated, this, [this] {
        if (InsertCom->isEnabled())
            choosePictures();
    });
    connect(text, &EntryTextEdit::filesDropped, this, [this](const QStringList &paths) {
        if (!DiaryTex->isReadOnly())
            m_pictures->addFiles(paths);
        showPictureArea();
    });
    connect(text, &EntryTextEdit::imagePasted, this, [this](const QImage &image) {
        if (!DiaryTex->isReadOnly())
            m_pictures->addImage(image);
        showPictureArea();
    });
    connect(m_pictures, &PictureInsert::inserted, this, &DiaryInpFor::insertPictureLine);
    connect(m_pictures, &PictureInsert::failed, this, [this](const QString &message) {
        // An OK that waited is called off: the user reads what failed before anything is saved.
        m_okWaits = false;
        OkCom->setEnabled(true);
        showErrorMessage(this, message);
    });
    connect(m_pictures, &PictureInsert::idle, this, &DiaryInpFor::picturesDone);
    connect(PictureRow, &PictureStrip::shown, this, &DiaryInpFor::showPictureArea);
}

void DiaryInpFor::choosePictures()
{
    // A file chooser that also takes a typed path. It opens in the pictures folder only where
    // there is one: a folder that does not exist would stand in the name field as a file.
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    QFileDialog chooser(this, QStringLiteral("画像を挿入"),
                        QFileInfo(pictures).isDir() ? pictures : QDir::homePath(),
                        QStringLiteral("画像 (*.jpg *.jpeg *.png *.gif *.bmp *.heic *.heif);;"
                                       "すべてのファイル (*)"));
    chooser.setObjectName(QStringLiteral("PictureChooser"));
    chooser.setFileMode(QFileDialog::ExistingFiles);
    if (chooser.exec() != QDialog::Accepted)
        return;
    m_pictures->addFiles(chooser.selectedFiles());
    showPictureArea();
}

void DiaryInpFor::insertPictureLine(const QString &line)
{
    // One line of its own at the cursor, the text around it left as it was.
    QTextCursor cursor = DiaryTex->textCursor();
    const bool lineStart = cursor.positionInBlock() == 0;
    cursor.insertText((lineStart ? QString() : QStringLiteral("\n")) + line + QStringLiteral("\n"));
    DiaryTex->setTextCursor(cursor);
    PictureRow->showDay({YearStr, MonthStr, DayStr});
    showPictureArea();
}

void DiaryInpFor::picturesDone()
{
    showPictureArea();
    if (!m_okWaits)
        return;
    m_okWaits = false;
    OkCom->setEnabled(true);
    saveAndPublish();
}

void DiaryInpFor::showPictureArea()
{
    const bool busy = m_pictures && m_pictures->isBusy();
    const bool shown = busy || PictureRow->count() > 0;
    DiaryTex->setGeometry(shown ? TextAbovePictures : TextAlone);
    PictureNote->setVisible(shown);
    PictureRow->setVisible(shown);
    setFittedText(PictureNote, m_okWaits ? PictureWait : busy ? PictureWork : PictureHint);
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
    m_pictures->setDay({YearStr, MonthStr, DayStr},
                       longEdgeOrDefault(readSettings().pictureLongEdge));
    m_okWaits = false;
    PictureRow->clear();
    PictureRow->showDay({YearStr, MonthStr, DayStr});
    showPictureArea();
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
    InsertCom->setEnabled(!locked);
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
    m_pictures->stop();
    // Pictures inserted into a text that was not saved would be left behind unnamed.
    if (result != Accepted && InsertCom->isEnabled())
        journal::dropUnsavedPictures({YearStr, MonthStr, DayStr});
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
    if (m_pictures->isBusy()) {
        // Saved once the last picture is in; the window stays live meanwhile.
        m_okWaits = true;
        OkCom->setEnabled(false);
        showPictureArea();
        return;
    }
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
