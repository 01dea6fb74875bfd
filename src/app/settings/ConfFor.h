#pragma once

#include "settings/SecretStore.h"

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace Kakiva {

// The settings dialog: the four FTP settings of Kakiva.ini. The password is masked until
// the user asks to see it, since anyone who opens the dialog would otherwise read it. OK writes all four keys,
// changed or not; Cancel writes nothing. When a value would not read back as typed, or
// the file cannot be written, the dialog stays open with the edits and says why.
//
// The password goes into the desktop's keyring, with Password left empty in the file;
// when no keyring answers, into the file as before, which the dialog says once. A password
// still in the file moves into the keyring at the next OK. The keyring is asked without
// waiting: the dialog stays responsive, and Cancel always closes it.
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
    // The password is masked unless this is checked (Alt+S, or Tab past Cancel).
    QCheckBox *ShowPasswordChk = nullptr;
    QPushButton *OkCom = nullptr;
    QPushButton *CancelCom = nullptr;

public slots:
    void done(int result) override;

private:
    void buildControls();
    void load();
    void loadKeyringPassword();
    void showKeyringPassword(const SecretAnswer &answer);
    void save();
    void saveWithPasswordIn(bool keyring);
    void setEditable(bool editable);
    bool allValuesStorable();
    bool writeAll(bool passwordInKeyring, QString *error) const;

    // Raised at each showing and each close, so a keyring answer for an earlier one is
    // dropped.
    int m_showing = 0;
    // The file points at the keyring and the keyring has not given the password (yet):
    // an untouched empty box then leaves the password where it is.
    bool m_keyringPasswordUnknown = false;
    bool m_fileNoticeShown = false;
};

} // namespace Kakiva
