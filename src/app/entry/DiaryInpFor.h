#pragma once

#include "journal/SiteChange.h"
#include "settings/Settings.h"

#include <QDialog>
#include <QString>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace Kakiva {

class DraftAutosave;
class EntryTextEdit;
class PictureInsert;
class PictureStrip;

// The entry dialog: edits the entry of one date. OK with text saves it, rewrites the
// date's pages and publishes them; OK on an empty box and Cancel close without saving.
// When saving or rewriting fails the dialog stays open with the text as typed and says
// what failed, so the user can try OK again or give up with Cancel. An entry that exists
// but cannot be read is reported with its path and reason, and the dialog then offers
// only Cancel, so nothing replaces it.
// While the dialog is open its text is kept in a draft; a draft that a crash left behind
// is offered when the day is opened again. Escape closes nothing (input methods use it to
// cancel a conversion), and Cancel or the frame ask before a changed text is thrown away.
// Pictures come in by InsertCom (or Ctrl+I), by files dropped on the text and by an image
// pasted from the clipboard: each is made for the web off the window's thread and kept with
// the day, and its line goes in at the cursor when it is ready; OK waits for those still
// being made. The day's pictures show in a row under the text. Pictures inserted and not
// saved go when the dialog closes without saving.
class DiaryInpFor : public QDialog
{
    Q_OBJECT

public:
    explicit DiaryInpFor(QWidget *parent = nullptr);

    // Loads the entry of the date in YearStr, MonthStr and DayStr and runs the dialog
    // until it closes. Accepted when the entry was saved and its pages rewritten.
    int showModal();

    // The date, written by the caller before each showing: decimal digits without
    // leading zeros. Loading pads month and day to two digits.
    QString YearStr;
    QString MonthStr;
    QString DayStr;

    QPlainTextEdit *DiaryTex = nullptr;
    QPushButton *InsertCom = nullptr;
    QPushButton *OkCom = nullptr;
    QPushButton *CancelCom = nullptr;
    QLabel *PictureNote = nullptr; // that location data is removed, or what is being made
    PictureStrip *PictureRow = nullptr;

    // Cancel and the frame: asks first when the text differs from what was loaded.
    void reject() override;
    void done(int result) override;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildControls();
    void connectPictures(EntryTextEdit *text);
    void choosePictures();
    void insertPictureLine(const QString &line);
    void picturesDone();
    void showPictureArea();
    void load();
    void lockUnreadableEntry(const QString &error);
    void offerDraft();
    void saveAndPublish();
    void showFailure(const journal::SiteChange &saved);
    void publishPages(const journal::SiteChange &saved, const Settings &settings);

    DraftAutosave *m_drafts = nullptr;
    PictureInsert *m_pictures = nullptr;
    bool m_okWaits = false; // OK was pressed while pictures were still being made
    QString m_loaded; // the text as loaded or last saved, as the box shows it
};

} // namespace Kakiva
