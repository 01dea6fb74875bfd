#pragma once

#include <QDialog>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace Kakiva {

// The settings dialog: the four FTP settings of Kakiva.ini. OK writes all four keys,
// changed or not; Cancel writes nothing. When a value would not read back as typed, or
// the file cannot be written, the dialog stays open with the edits and says why.
class ConfFor : public QDialog
{
    Q_OBJECT

public:
    explicit ConfFor(QWidget *parent = nullptr);

    // Reads the four values afresh and runs the dialog until it closes. Accepted when
    // all four were written.
    int showModal();

    QGroupBox *FTPFra = nullptr;
    QLabel *FTPLab = nullptr;
    QLineEdit *FTPTex = nullptr;
    QLabel *NameLab = nullptr;
    QLineEdit *NameTex = nullptr;
    QLabel *PasswordLab = nullptr;
    QLineEdit *PasswordTex = nullptr;
    QLabel *DirectoryLab = nullptr;
    QLineEdit *DirectoryTex = nullptr;
    QPushButton *OkCom = nullptr;
    QPushButton *CancelCom = nullptr;

private:
    void buildControls();
    void load();
    void save();
    bool allValuesStorable();
    bool writeAll(QString *error) const;
};

} // namespace Kakiva
