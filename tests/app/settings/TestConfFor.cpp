#include "app/settings/ConfFor.h"
#include "platform/Cp932.h"
#include "settings/SettingsFile.h"

#include "KeyboardInput.h"
#include "TestTree.h"
#include "WindowTestBed.h"
#include "WriteFault.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>
#include <optional>

using namespace Kakiva;
using namespace Qt::StringLiterals;

class TestConfFor : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void loadShowsTheStoredValues_data();
    void loadShowsTheStoredValues();
    void okWritesAllFourKeys_data();
    void okWritesAllFourKeys();
    void leavingWithoutOkWritesNothing_data();
    void leavingWithoutOkWritesNothing();
    void failedWriteKeepsTheDialogOpen_data();
    void failedWriteKeepsTheDialogOpen();
    void unstorableValueIsRefused();
    void labelsShowTheirWholeCaption();
    void passwordIsMaskedUntilAskedFor_data();
    void passwordIsMaskedUntilAskedFor();

private:
    int showDialog(ModalAnswerer<ConfFor>::Answer answer)
    {
        return showAnswered(m_dialog.get(), std::move(answer));
    }
    QString settingsPath() const { return m_bed->appDir.filePath(u"Kakiva.ini"_s); }
    // These tests run with no keyring: the password goes into the file, which is told once.
    QStringList errorsBesidesFileNotice() const
    {
        QStringList errors = m_bed->errors;
        errors.removeOne(u"キーリングが使えないため、パスワードを Kakiva.ini に保存しました。"_s);
        return errors;
    }

    std::unique_ptr<WindowTestBed> m_bed;
    std::unique_ptr<ConfFor> m_dialog;
};

namespace {

enum class Leave
{
    Cancel,
    Escape,
    CloseWindow,
};

QStringList boxTexts(ConfFor *dialog)
{
    return {dialog->FTPTex->text(), dialog->NameTex->text(), dialog->PasswordTex->text(),
            dialog->DirectoryTex->text()};
}

QStringList storedValues()
{
    return {IniRead(FtpSection, ServerKey), IniRead(FtpSection, NameKey),
            IniRead(FtpSection, PasswordKey), IniRead(FtpSection, DirectoryKey)};
}

// Fills the four boxes from the keyboard, moving on with Tab as a user does, and ends on
// the control that follows the last box.
void typeIntoBoxes(ConfFor *dialog, const QStringList &values)
{
    for (const QString &value : values) {
        QWidget *box = dialog->focusWidget();
        clearText(box);
        typeText(box, value);
        QTest::keyClick(box, Qt::Key_Tab);
    }
}

const QByteArray OddlyWrittenFile = "; written by hand\r\n"
                                    "[Other]\r\nkey=value\r\n\r\n"
                                    "[FTP]\r\nServer = spaced \r\nName=taro\r\n";

} // namespace

void TestConfFor::init()
{
    m_bed = std::make_unique<WindowTestBed>();
    m_dialog = std::make_unique<ConfFor>();
}

void TestConfFor::cleanup()
{
    m_dialog.reset();
    m_bed.reset();
}

void TestConfFor::loadShowsTheStoredValues_data()
{
    QTest::addColumn<std::optional<QByteArray>>("file");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("no settings file")
        << std::optional<QByteArray>() << QStringList{QString(), QString(), QString(), QString()};
    QTest::newRow("all four stored")
        << std::optional(QByteArray("[FTP]\r\nServer=ftp.example.jp\r\nName=taro\r\n"
                                    "Password=secret\r\nDirectory=/public_html/diary\r\n"))
        << QStringList{u"ftp.example.jp"_s, u"taro"_s, u"secret"_s, u"/public_html/diary"_s};
    QTest::newRow("Japanese directory, keys missing")
        << std::optional("[FTP]\r\nDirectory=/" + toCp932(u"日記") + "\r\n")
        << QStringList{QString(), QString(), QString(), u"/日記"_s};
}

void TestConfFor::loadShowsTheStoredValues()
{
    QFETCH(std::optional<QByteArray>, file);
    QFETCH(QStringList, shown);
    if (file)
        writeWholeFile(settingsPath(), *file);

    QStringList seen;
    QWidget *focused = nullptr;
    QLineEdit::EchoMode passwordEcho = QLineEdit::Password;
    const int result = showDialog([&](ConfFor *dialog) {
        seen = boxTexts(dialog);
        focused = dialog->focusWidget();
        passwordEcho = dialog->PasswordTex->echoMode();
        QTest::mouseClick(dialog->CancelCom, Qt::LeftButton);
    });
    QCOMPARE(result, int(QDialog::Rejected));
    QCOMPARE(seen, shown);
    QCOMPARE(focused, m_dialog->FTPTex);
    QCOMPARE(passwordEcho, QLineEdit::Password); // masked: whoever opens it must not read it
    QCOMPARE(QFile::exists(settingsPath()), file.has_value());
}

void TestConfFor::okWritesAllFourKeys_data()
{
    QTest::addColumn<QByteArray>("existing");
    QTest::addColumn<QStringList>("typed");
    QTest::newRow("new file") << QByteArray()
                              << QStringList{u"ftp.example.jp"_s, u"taro"_s, u"secret"_s,
                                             u"/public_html/diary"_s};
    QTest::newRow("new file, every box empty")
        << QByteArray() << QStringList{QString(), QString(), QString(), QString()};
    QTest::newRow("Japanese directory")
        << QByteArray() << QStringList{u"h"_s, u"n"_s, u"p"_s, u"/日記"_s};
    QTest::newRow("existing file with another section")
        << OddlyWrittenFile << QStringList{u"new.example.jp"_s, QString(), u"pw"_s, u"/d"_s};
}

void TestConfFor::okWritesAllFourKeys()
{
    QFETCH(QByteArray, existing);
    QFETCH(QStringList, typed);
    if (!existing.isEmpty())
        writeWholeFile(settingsPath(), existing);

    QWidget *afterLastBox = nullptr;
    const int result = showDialog([&](ConfFor *dialog) {
        typeIntoBoxes(dialog, typed);
        afterLastBox = dialog->focusWidget();
        QTest::keyClick(afterLastBox, Qt::Key_Space);
        QTRY_VERIFY(!dialog->isVisible()); // once the keyring has answered
    });

    QCOMPARE(afterLastBox, m_dialog->OkCom);
    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(storedValues(), typed);
    // Every key is in the file, the empty ones too, whatever was there before.
    const QString stored = fromCp932(readWholeFile(settingsPath()));
    for (const QLatin1StringView key : {ServerKey, NameKey, PasswordKey, DirectoryKey})
        QVERIFY2(stored.contains(u"\r\n"_s + key + u'='), qPrintable(key.toString()));
    if (!existing.isEmpty())
        QVERIFY(stored.contains(u"[Other]\r\nkey=value\r\n"_s));
    QVERIFY(errorsBesidesFileNotice().isEmpty());

    // The next showing reads back what was written.
    QStringList shownAgain;
    showDialog([&](ConfFor *dialog) {
        shownAgain = boxTexts(dialog);
        QTest::mouseClick(dialog->CancelCom, Qt::LeftButton);
    });
    QCOMPARE(shownAgain, typed);
}

void TestConfFor::leavingWithoutOkWritesNothing_data()
{
    QTest::addColumn<QByteArray>("existing");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<Leave>("leave");
    QTest::newRow("Cancel") << OddlyWrittenFile << u"changed"_s << Leave::Cancel;
    QTest::newRow("Escape") << OddlyWrittenFile << u"changed"_s << Leave::Escape;
    QTest::newRow("closing the window") << OddlyWrittenFile << u"changed"_s << Leave::CloseWindow;
    // Return presses no button: the dialog stays open until Cancel. No file is made either.
    QTest::newRow("Return in every box, then Cancel, no settings file")
        << QByteArray() << u"x\n"_s << Leave::Cancel;
}

void TestConfFor::leavingWithoutOkWritesNothing()
{
    QFETCH(QByteArray, existing);
    QFETCH(QString, typed);
    QFETCH(Leave, leave);
    if (!existing.isEmpty())
        writeWholeFile(settingsPath(), existing);
    const Tree before = treeBelow(m_bed->appDir.path());

    bool openBeforeLeaving = false;
    const int result = showDialog([&](ConfFor *dialog) {
        typeIntoBoxes(dialog, {typed, typed, typed, typed});
        openBeforeLeaving = dialog->isVisible();
        switch (leave) {
        case Leave::Cancel:
            QTest::mouseClick(dialog->CancelCom, Qt::LeftButton);
            break;
        case Leave::Escape:
            QTest::keyClick(dialog->FTPTex, Qt::Key_Escape);
            break;
        case Leave::CloseWindow:
            dialog->close();
            break;
        }
    });

    QVERIFY(openBeforeLeaving);
    QCOMPARE(result, int(QDialog::Rejected));
    QCOMPARE(treeBelow(m_bed->appDir.path()), before);
    QCOMPARE(QFile::exists(settingsPath()), !existing.isEmpty());
}

void TestConfFor::failedWriteKeepsTheDialogOpen_data()
{
    QTest::addColumn<bool>("diskFull");
    QTest::addColumn<bool>("tryAgain");
    QTest::newRow("Kakiva.ini is a directory, then Cancel") << false << false;
    QTest::newRow("disk full, then OK again") << true << true;
}

void TestConfFor::failedWriteKeepsTheDialogOpen()
{
    QFETCH(bool, diskFull);
    QFETCH(bool, tryAgain);
    if (!diskFull)
        QVERIFY(QDir(m_bed->appDir.path()).mkdir(u"Kakiva.ini"_s));
    const QStringList typed{u"a.server.name.longer.than.the.disk.allows"_s, u"taro"_s, u"secret"_s,
                            u"/d"_s};

    bool openAfterFailure = false;
    QStringList boxesAfterFailure;
    const int result = showDialog([&](ConfFor *dialog) {
        typeIntoBoxes(dialog, typed);
        {
            const WriteFault inForce(diskFull ? WriteFault::DiskFull : WriteFault::None, {}, 8);
            QTest::mouseClick(dialog->OkCom, Qt::LeftButton);
            QTRY_VERIFY(dialog->OkCom->isEnabled()); // written once the keyring has answered
        }
        openAfterFailure = dialog->isVisible();
        boxesAfterFailure = boxTexts(dialog);
        QTest::mouseClick(tryAgain ? dialog->OkCom : dialog->CancelCom, Qt::LeftButton);
        QTRY_VERIFY(!dialog->isVisible());
    });

    QVERIFY(openAfterFailure);
    QCOMPARE(boxesAfterFailure, typed);
    // A directory in the file's place is told on opening already.
    const QStringList errors = errorsBesidesFileNotice();
    QCOMPARE(errors.size(), diskFull ? 1 : 2);
    if (!diskFull)
        QVERIFY(errors.first().startsWith(u"設定を読み込めませんでした。\n"_s +
                                          QDir::toNativeSeparators(settingsPath())));
    const QString &message = errors.last();
    QVERIFY2(message.startsWith(u"設定を保存できませんでした。\n"_s), qPrintable(message));
    QVERIFY2(message.contains(QDir::toNativeSeparators(settingsPath()) + u": "_s),
             qPrintable(message));
    QCOMPARE(result, int(tryAgain ? QDialog::Accepted : QDialog::Rejected));
    if (tryAgain)
        QCOMPARE(storedValues(), typed);
    else
        QVERIFY(QFileInfo(settingsPath()).isDir());
}

void TestConfFor::unstorableValueIsRefused()
{
    const QStringList typed{u"ftp.x.jp"_s, u"taro"_s, QString(255, u'p'), u"/d"_s};
    bool openAfterRefusal = false;
    const int result = showDialog([&](ConfFor *dialog) {
        typeIntoBoxes(dialog, typed);
        QTest::mouseClick(dialog->OkCom, Qt::LeftButton);
        openAfterRefusal = dialog->isVisible();
        QTest::mouseClick(dialog->CancelCom, Qt::LeftButton);
    });
    QCOMPARE(result, int(QDialog::Rejected));
    QVERIFY(openAfterRefusal);
    QCOMPARE(m_bed->errors.size(), 1);
    // Names the box, and nothing of the four was written.
    QVERIFY2(m_bed->errors.first().startsWith(u"設定を保存できませんでした。\nPassword: "_s),
             qPrintable(m_bed->errors.first()));
    QVERIFY(!QFile::exists(settingsPath()));
}

void TestConfFor::labelsShowTheirWholeCaption()
{
    const QList<QPair<QLabel *, QString>> labels{
        {m_dialog->FTPLab, u"接続先FTP"_s},
        {m_dialog->NameLab, u"ユーザ名"_s},
        {m_dialog->PasswordLab, u"Password"_s},
        {m_dialog->DirectoryLab, u"アップ先ディレクトリ"_s},
    };
    QCOMPARE(m_dialog->windowTitle(), u"設定"_s);
    QCOMPARE(m_dialog->FTPFra->title(), u"FTP設定"_s);
    const QStringList gothicFaces = m_dialog->FTPLab->font().families();
    const QString resolved = QFontInfo(m_dialog->FTPLab->font()).family();
    if (!gothicFaces.contains(resolved))
        QSKIP(qPrintable(u"no Japanese Gothic face installed, got "_s + resolved));
    for (const auto &[label, caption] : labels) {
        QCOMPARE(label->text(), caption);
        const QRect ink = QFontMetrics(label->font()).boundingRect(caption);
        QVERIFY2(ink.width() <= label->contentsRect().width(), qPrintable(caption));
        QVERIFY2(QFontMetrics(label->font()).height() <= label->contentsRect().height(),
                 qPrintable(caption));
    }
}

void TestConfFor::passwordIsMaskedUntilAskedFor_data()
{
    QTest::addColumn<bool>("byMnemonic"); // Alt+S, or Tab to the box and Space
    QTest::newRow("Alt+S") << true;
    QTest::newRow("Tab and Space") << false;
}

// Whoever opens the settings does not read the password: it is masked, shown only when the
// user asks from the keyboard, and masked again at the next showing. The box's caption fits
// it, and the password is read and written as typed either way.
void TestConfFor::passwordIsMaskedUntilAskedFor()
{
    QFETCH(bool, byMnemonic);
    writeWholeFile(settingsPath(), "[FTP]\r\nServer=ftp.example.jp\r\nPassword=secret\r\n");
    QLineEdit::EchoMode atFirst = QLineEdit::Normal;
    QLineEdit::EchoMode afterAsking = QLineEdit::Password;
    QString shownText;
    showDialog([&](ConfFor *dialog) {
        atFirst = dialog->PasswordTex->echoMode();
        if (byMnemonic) {
            dialog->activateWindow();
            QVERIFY(QTest::qWaitFor([&] { return QApplication::activeWindow() == dialog; }));
            QTest::keyClick(dialog, Qt::Key_S, Qt::AltModifier);
            // A mnemonic clicks after a short animation.
            QVERIFY(QTest::qWaitFor([&] { return dialog->ShowPasswordChk->isChecked(); }));
        } else {
            // From the last box: OK, Cancel, then the check box.
            dialog->DirectoryTex->setFocus();
            for (int i = 0; i < 3; ++i)
                QTest::keyClick(dialog->focusWidget(), Qt::Key_Tab);
            QCOMPARE(dialog->focusWidget(), dialog->ShowPasswordChk);
            QTest::keyClick(dialog->ShowPasswordChk, Qt::Key_Space);
        }
        afterAsking = dialog->PasswordTex->echoMode();
        shownText = dialog->PasswordTex->displayText();
        QTest::mouseClick(dialog->CancelCom, Qt::LeftButton);
    });
    QCOMPARE(atFirst, QLineEdit::Password);
    QCOMPARE(afterAsking, QLineEdit::Normal);
    QCOMPARE(shownText, u"secret"_s);

    QLineEdit::EchoMode atNextShowing = QLineEdit::Normal;
    QString maskedText;
    showDialog([&](ConfFor *dialog) {
        atNextShowing = dialog->PasswordTex->echoMode();
        maskedText = dialog->PasswordTex->displayText();
        QTest::mouseClick(dialog->CancelCom, Qt::LeftButton);
    });
    QCOMPARE(atNextShowing, QLineEdit::Password);
    QVERIFY(!maskedText.contains(u"secret"_s));

    QCheckBox *box = m_dialog->ShowPasswordChk;
    QVERIFY2(box->sizeHint().width() <= box->width(),
             qPrintable(u"%1 > %2"_s.arg(box->sizeHint().width()).arg(box->width())));
    QVERIFY(box->sizeHint().height() <= box->height());
    QVERIFY(box->geometry().right() < m_dialog->OkCom->geometry().left());
}

QTEST_MAIN(TestConfFor)
#include "TestConfFor.moc"
