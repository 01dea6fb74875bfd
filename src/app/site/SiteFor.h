#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace Kakiva {

// The site window: the public address of the HTML tree ([Site] URL in Kakiva.ini, which the
// feed needs), checked as it is typed, and the long edge of pictures made for the site
// ([Site] PictureLongEdge), both written only on OK; and the command that writes
// fresh copies of the starter front page and style sheet, asking before it replaces one the
// user has edited.
class SiteFor : public QDialog
{
    Q_OBJECT

public:
    explicit SiteFor(QWidget *parent = nullptr);

    // Reads the address afresh and runs the window until it closes. Accepted when the
    // address was written.
    int showModal();

    QLineEdit *UrlTex = nullptr;
    QLabel *UrlNote = nullptr; // what is wrong with the address as typed, or how it is used
    QSpinBox *PictureEdgeSpin = nullptr; // pixels
    QPushButton *StarterCom = nullptr;
    QLabel *StarterNote = nullptr; // which starters the command wrote
    QPushButton *OkCom = nullptr;
    QPushButton *CancelCom = nullptr;

private:
    void buildControls();
    void showUrlProblem();
    void save();
    void writeStarters();
    bool replaceEdited(const QString &name);
};

} // namespace Kakiva
