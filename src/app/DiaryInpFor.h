#pragma once

#include <QDialog>
#include <QString>

class QPlainTextEdit;
class QPushButton;

namespace Kakiva {

// The entry dialog: edits the entry of one date. OK with text saves it, rewrites the
// date's pages and publishes them; OK on an empty box and Cancel close without saving.
// When saving or rewriting fails the dialog stays open with the text as typed and says
// what failed, so the user can try OK again or give up with Cancel. An entry that exists
// but cannot be read is reported with its path and reason, and the dialog then offers
// only Cancel, so nothing replaces it.
class DiaryInpFor : public QDialog
{
    Q_OBJECT

public:
    explicit DiaryInpFor(QWidget *parent = nullptr);

    // Loads the entry of the date in YearStr, MonthStr and DayStr and runs the dialog
    // until it closes. Accepted when the entry was saved and its pages rewritten.
    int showModal();

    // The date, written by the caller before each showing: decimal digits without
    // leading zeros. Loading pads month and day to two digits; the upload reads them.
    QString YearStr;
    QString MonthStr;
    QString DayStr;

    QPlainTextEdit *DiaryTex = nullptr;
    QPushButton *OkCom = nullptr;
    QPushButton *CancelCom = nullptr;

private:
    void buildControls();
    void load();
    void lockUnreadableEntry(const QString &error);
    void saveAndPublish();
    bool saveEntry(const QString &text);
    bool rewritePages();
    void publishPages();
};

} // namespace Kakiva
