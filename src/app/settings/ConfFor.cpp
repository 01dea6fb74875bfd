#include "app/settings/ConfFor.h"

#include "app/kit/DialogControls.h"
#include "app/kit/ErrorMessage.h"
#include "app/kit/Geometry.h"
#include "app/kit/JapaneseFont.h"
#include "settings/SettingsFile.h"
#include "settings/StoredPassword.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <utility>

namespace Kakiva {

namespace {

constexpr qreal LabelPointSize = 11.25;

QLabel *makeLabel(const QString &name, const QString &caption, const QRect &geometry,
                  QWidget *frame)
{
    auto *label = new QLabel(caption, frame);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setFont(japaneseGothicFont(LabelPointSize));
    return label;
}

QLineEdit *makeTextBox(const QString &name, const QRect &geometry, QWidget *frame)
{
    auto *box = new QLineEdit(frame);
    box->setObjectName(name);
    box->setGeometry(geometry);
    return box;
}

// The check box's caption at the largest size up to the dialog's own that fits the box.
void fitCaption(QCheckBox *box)
{
    QFont font = box->font();
    for (qreal size = font.pointSizeF(); size > 4 && box->sizeHint().width() > box->width();
         size -= 0.25) {
        font.setPointSizeF(size);
        box->setFont(font);
    }
}

// Why a value would not come back as typed; empty when it would.
QString unstorableReason(SettingValueFault fault)
{
    switch (fault) {
    case SettingValueFault::None:
        break;
    case SettingValueFault::LineBreak:
        return QStringLiteral("改行は保存できません。");
    case SettingValueFault::TooLong:
        return QStringLiteral("長すぎます（Shift_JIS で 254 バイトまで保存できます）。");
    case SettingValueFault::CharacterChanges:
        return QStringLiteral(
            "読み込むと別の文字に変わる文字（〜 − ¢ £ ¬ — ‖ など）は保存できません。");
    }
    return {};
}

} // namespace

ConfFor::ConfFor(QWidget *parent) : QDialog(parent, FixedDialogFlags)
{
    setObjectName(QStringLiteral("ConfFor"));
    setWindowTitle(QStringLiteral("設定"));
    setFixedSize(twipSize(4590, 2730));
    buildControls();
    connect(OkCom, &QPushButton::clicked, this, &ConfFor::save);
    connect(CancelCom, &QPushButton::clicked, this, &ConfFor::reject);
}

void ConfFor::buildControls()
{
    FTPFra = new QGroupBox(QStringLiteral("FTP設定"), this);
    FTPFra->setObjectName(QStringLiteral("FTPFra"));
    FTPFra->setGeometry(twipRect(120, 120, 4335, 2055));
    // The caption sits on the frame's top line, so the first row, close below that line,
    // stays clear of it; a frame drawn below its caption would cut through that row.
    FTPFra->setStyleSheet(QStringLiteral(
        "QGroupBox#FTPFra { border: 1px solid palette(mid); border-radius: 2px;"
        " margin-top: 0.5em; }"
        "QGroupBox#FTPFra::title { subcontrol-origin: margin; left: 6px; padding: 0 2px; }"));

    FTPLab = makeLabel(QStringLiteral("FTPLab"), QStringLiteral("接続先FTP"),
                       twipRect(120, 240, 1095, 255), FTPFra);
    FTPTex = makeTextBox(QStringLiteral("FTPTex"), twipRect(2040, 240, 2175, 270), FTPFra);
    FTPTex->setToolTip(
        QStringLiteral("ftp.example.jp[:port]  FTP (TLS なし)\n"
                       "ftpes://ftp.example.jp[:port]  FTP over TLS (明示的, 標準 21)\n"
                       "ftps://ftp.example.jp[:port]  FTP over TLS (暗黙的, 標準 990)\n"
                       "sftp://example.jp[:port]  SFTP (SSH, 標準 22)"));
    NameLab = makeLabel(QStringLiteral("NameLab"), QStringLiteral("ユーザ名"),
                        twipRect(120, 720, 975, 255), FTPFra);
    NameTex = makeTextBox(QStringLiteral("NameTex"), twipRect(2040, 720, 2175, 270), FTPFra);
    PasswordLab = makeLabel(QStringLiteral("PasswordLab"), QStringLiteral("Password"),
                            twipRect(120, 1200, 975, 255), FTPFra);
    PasswordTex =
        makeTextBox(QStringLiteral("PasswordTex"), twipRect(2040, 1200, 2175, 270), FTPFra);
    PasswordTex->setEchoMode(QLineEdit::Password);
    DirectoryLab = makeLabel(QStringLiteral("DirectoryLab"), QStringLiteral("アップ先ディレクトリ"),
                             twipRect(120, 1680, 1815, 255), FTPFra);
    DirectoryTex =
        makeTextBox(QStringLiteral("DirectoryTex"), twipRect(2040, 1680, 2175, 270), FTPFra);

    OkCom = makeDialogButton(QStringLiteral("OkCom"), QStringLiteral("OK"),
                             twipRect(2160, 2280, 1095, 375), this);
    CancelCom = makeDialogButton(QStringLiteral("CancelCom"), QStringLiteral("Cancel"),
                                 twipRect(3360, 2280, 1095, 375), this);

    ShowPasswordChk = new QCheckBox(QStringLiteral("パスワードを表示(&S)"), this);
    ShowPasswordChk->setObjectName(QStringLiteral("ShowPasswordChk"));
    ShowPasswordChk->setGeometry(twipRect(120, 2280, 1980, 375));
    fitCaption(ShowPasswordChk);
    connect(ShowPasswordChk, &QCheckBox::toggled, this, [this](bool shown) {
        PasswordTex->setEchoMode(shown ? QLineEdit::Normal : QLineEdit::Password);
    });

    setTabOrder(FTPTex, NameTex);
    setTabOrder(NameTex, PasswordTex);
    setTabOrder(PasswordTex, DirectoryTex);
    setTabOrder(DirectoryTex, OkCom);
    setTabOrder(OkCom, CancelCom);
    // After Cancel, so Tab from the last box still reaches OK first.
    setTabOrder(CancelCom, ShowPasswordChk);
}

int ConfFor::showModal()
{
    load();
    return exec();
}

void ConfFor::load()
{
    ++m_showing;
    setEditable(true);
    ShowPasswordChk->setChecked(false); // masked again at every showing
    QString error;
    FTPTex->setText(IniRead(FtpSection, ServerKey, &error));
    NameTex->setText(IniRead(FtpSection, NameKey));
    PasswordTex->setText(IniRead(FtpSection, PasswordKey));
    DirectoryTex->setText(IniRead(FtpSection, DirectoryKey));
    FTPTex->setFocus();
    m_keyringPasswordUnknown = error.isEmpty() && passwordInKeyring();
    if (m_keyringPasswordUnknown)
        loadKeyringPassword();
    // Told once the dialog is on screen; OK then refuses to replace the file.
    if (!error.isEmpty())
        QMetaObject::invokeMethod(
            this,
            [this, error] {
                showErrorMessage(this, QStringLiteral("設定を読み込めませんでした。\n") + error);
            },
            Qt::QueuedConnection);
}

void ConfFor::loadKeyringPassword()
{
    const int showing = m_showing;
    SecretStore::read(secretKey(FTPTex->text(), NameTex->text()), KeyringWait, this,
                      [this, showing](const SecretAnswer &answer) {
                          if (showing == m_showing)
                              showKeyringPassword(answer);
                      });
}

void ConfFor::showKeyringPassword(const SecretAnswer &answer)
{
    // What the user typed meanwhile stands.
    if (PasswordTex->isModified())
        return;
    switch (answer.status) {
    case SecretStatus::Done:
        PasswordTex->setText(answer.secret);
        m_keyringPasswordUnknown = false;
        return;
    case SecretStatus::NotFound:
        // Gone from the keyring: only the user can give it again.
        m_keyringPasswordUnknown = false;
        PasswordTex->setFocus();
        showErrorMessage(this, QStringLiteral("キーリングにパスワードが見つかりません。\n"
                                              "パスワードを入力し直してください。"));
        return;
    case SecretStatus::Unavailable:
    case SecretStatus::TimedOut:
        showErrorMessage(this, QStringLiteral("キーリングからパスワードを読み込めませんでした。\n"
                                              "Password を空のままにすると、キーリングの"
                                              "パスワードがそのまま使われます。"));
        return;
    }
}

void ConfFor::save()
{
    if (!allValuesStorable())
        return;
    if (PasswordTex->text().isEmpty()) {
        // An untouched empty box over a password the keyring has not shown leaves it there.
        saveWithPasswordIn(m_keyringPasswordUnknown && !PasswordTex->isModified());
        return;
    }
    setEditable(false);
    const int showing = m_showing;
    SecretStore::write(secretKey(FTPTex->text(), NameTex->text()), PasswordTex->text(), KeyringWait,
                       this, [this, showing](const SecretAnswer &answer) {
                           if (showing != m_showing)
                               return; // closed meanwhile: nothing is written
                           setEditable(true);
                           saveWithPasswordIn(answer.status == SecretStatus::Done);
                       });
}

void ConfFor::saveWithPasswordIn(bool keyring)
{
    QString error;
    if (!writeAll(keyring, &error)) {
        showErrorMessage(this, QStringLiteral("設定を保存できませんでした。\n") + error);
        return;
    }
    if (!keyring && !PasswordTex->text().isEmpty() && !std::exchange(m_fileNoticeShown, true))
        showErrorMessage(
            this,
            QStringLiteral("キーリングが使えないため、パスワードを Kakiva.ini に保存しました。"));
    accept();
}

void ConfFor::setEditable(bool editable)
{
    const std::initializer_list<QWidget *> controls{FTPTex, NameTex, PasswordTex, DirectoryTex,
                                                    OkCom};
    for (QWidget *control : controls)
        control->setEnabled(editable);
}

void ConfFor::done(int result)
{
    ++m_showing;
    setEditable(true);
    ShowPasswordChk->setChecked(false); // masked again at every showing
    QDialog::done(result);
}

bool ConfFor::allValuesStorable()
{
    const std::pair<QLabel *, QLineEdit *> boxes[] = {{FTPLab, FTPTex},
                                                      {NameLab, NameTex},
                                                      {PasswordLab, PasswordTex},
                                                      {DirectoryLab, DirectoryTex}};
    for (const auto &[label, box] : boxes) {
        const QString reason = unstorableReason(settingValueFault(box->text()));
        if (!reason.isEmpty()) {
            showErrorMessage(this, QStringLiteral("設定を保存できませんでした。\n") +
                                       label->text() + QStringLiteral(": ") + reason);
            box->setFocus();
            return false;
        }
    }
    return true;
}

bool ConfFor::writeAll(bool passwordInKeyring, QString *error) const
{
    return IniWrite(FtpSection, ServerKey, FTPTex->text(), error) &&
           IniWrite(FtpSection, NameKey, NameTex->text(), error) &&
           writePasswordPlace(passwordInKeyring, PasswordTex->text(), error) &&
           IniWrite(FtpSection, DirectoryKey, DirectoryTex->text(), error);
}

} // namespace Kakiva
