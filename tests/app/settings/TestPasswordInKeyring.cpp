#include "app/kit/ErrorMessage.h"
#include "app/publish/OutcomeText.h"
#include "app/publish/UpFor.h"
#include "app/settings/ConfFor.h"
#include "diary/EntryStore.h"
#include "pages/PageGenerator.h"
#include "platform/AppDir.h"
#include "settings/SecretStore.h"
#include "settings/SettingsFile.h"
#include "settings/StoredPassword.h"

#include "DayPages.h"
#include "ModalAnswerer.h"
#include "PyFtpServer.h"
#include "ScriptedFtpServer.h"
#include "TestAppDir.h"
#include "TestKeyring.h"

#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <memory>
#include <optional>

using namespace Kakiva;
using namespace Qt::StringLiterals;

namespace {

const QString FileNotice = u"キーリングが使えないため、パスワードを Kakiva.ini に保存しました。"_s;
constexpr int KeyringAnswerMs = 20000;

QStringList messagesSeen;
void keepMessage(QtMsgType, const QMessageLogContext &, const QString &message)
{
    messagesSeen << message;
}

} // namespace

// Runs twice: beside a keyring of its own, and with no session bus at all.
class TestPasswordInKeyring : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void init()
    {
        m_app.emplace();
        m_errors.clear();
        setErrorPresenter([this](QWidget *, const QString &message) { m_errors << message; });
        m_dialog = std::make_unique<ConfFor>();
    }
    void cleanup()
    {
        m_dialog.reset();
        setErrorPresenter({});
        m_app.reset();
    }

    void okTakesThePasswordOutOfTheFile_data();
    void okTakesThePasswordOutOfTheFile();
    void keyringWithoutThePasswordSendsNothing();
    void uploadWithTheKeyringsPasswordLeavesItNowhere();

private:
    // Shows the one settings dialog, as the calendar window does: answer acts on it, and
    // the dialog must have closed once the keyring has answered.
    int showSettings(const std::function<void(ConfFor *)> &answer)
    {
        return showAnswered(m_dialog.get(), [&](ConfFor *shown) {
            answer(shown);
            QTRY_VERIFY_WITH_TIMEOUT(!shown->isVisible(), KeyringAnswerMs);
        });
    }
    void pressOk(ConfFor *dialog, const QString &password)
    {
        dialog->PasswordTex->setText(password);
        QTest::keyClick(dialog->OkCom, Qt::Key_Space);
    }
    // Shows the upload window and waits for its first attempt to end.
    static std::optional<PublishResult> firstAttempt(UpFor &window)
    {
        std::optional<PublishResult> result;
        connect(&window, &UpFor::runFinished, &window,
                [&](PublishResult ended) { result.emplace(ended); });
        window.show();
        if (!QTest::qWaitFor([&] { return result.has_value(); }, KeyringAnswerMs))
            qWarning("the first attempt did not end");
        return result;
    }
    QByteArray settingsBytes() const { return m_app->read(u"Kakiva.ini"_s); }

    std::optional<TestAppDir> m_app;
    QStringList m_errors; // told by the windows
    std::unique_ptr<ConfFor> m_dialog;
};

void TestPasswordInKeyring::okTakesThePasswordOutOfTheFile_data()
{
    QTest::addColumn<QString>("inFile"); // Password as an older version left it
    QTest::addColumn<QString>("typed");  // empty: OK as the dialog opened
    QTest::newRow("typed into a new file") << QString() << u"typed-secret"_s;
    QTest::newRow("in the file before") << u"old-file-secret"_s << QString();
}

void TestPasswordInKeyring::okTakesThePasswordOutOfTheFile()
{
    QFETCH(QString, inFile);
    QFETCH(QString, typed);
    const QString password = typed.isEmpty() ? inFile : typed;
    writeFtpSettings(u"ftp.example.jp"_s, u"taro"_s, inFile, u"/d"_s);

    QString shown;
    showSettings([&](ConfFor *dialog) {
        shown = dialog->PasswordTex->text();
        pressOk(dialog, password);
    });
    QCOMPARE(shown, inFile);

    if (!TestKeyring::running()) {
        QCOMPARE(IniRead(FtpSection, PasswordKey), password);
        QCOMPARE(m_errors, QStringList{FileNotice});
        showSettings([&](ConfFor *dialog) { pressOk(dialog, password); });
        QCOMPARE(m_errors, QStringList{FileNotice}); // told once
        return;
    }
    QVERIFY(!settingsBytes().contains(password.toUtf8()));
    QCOMPARE(IniRead(FtpSection, PasswordKey), QString());
    QCOMPARE(IniRead(FtpSection, PasswordStoreKey), u"keyring"_s);
    QCOMPARE(TestKeyring::lookup(secretKey(u"ftp.example.jp"_s, u"taro"_s)), password);
    QVERIFY(m_errors.isEmpty());

    // The next showing has it from the keyring.
    showSettings([&](ConfFor *dialog) {
        QTRY_COMPARE_WITH_TIMEOUT(dialog->PasswordTex->text(), password, KeyringAnswerMs);
        QTest::mouseClick(dialog->CancelCom, Qt::LeftButton);
    });
}

// The file points at the keyring, which has lost the password (or is not there): the upload
// says so and never logs in with an empty password, and the settings dialog asks for it.
void TestPasswordInKeyring::keyringWithoutThePasswordSendsNothing()
{
    ScriptedFtpServer server;
    writeFtpSettings(server.serverString(), u"taro"_s, QString(), u"www"_s);
    QVERIFY(IniWrite(FtpSection, PasswordStoreKey, KeyringPasswordStore));
    const QString key = secretKey(server.serverString(), u"taro"_s);
    const bool keyring = TestKeyring::running();
    if (keyring) { // stored once, then deleted behind the program's back
        QCOMPARE(SecretStore::writeNow(key, u"was here"_s, std::chrono::seconds(20)).status,
                 SecretStatus::Done);
        QVERIFY(TestKeyring::clear(key));
    }

    UpFor window(savedDay("2024", "05", "07"), readSettings());
    QCOMPARE(firstAttempt(window), PublishResult::NoPassword);
    QCOMPARE(window.UpLab->text(), keyring ? OutcomeText::of(OutcomeKind::NoPassword)
                                           : OutcomeText::of(OutcomeKind::KeyringUnavailable));
    QVERIFY(!window.UpTim->isActive()); // no retry: it would only fail the same way
    QVERIFY(window.CloseCom->isEnabled());
    QVERIFY(server.commands().isEmpty());
    window.close();

    bool askedInPasswordBox = false;
    showSettings([&](ConfFor *dialog) {
        QTRY_VERIFY_WITH_TIMEOUT(!m_errors.isEmpty(), KeyringAnswerMs);
        askedInPasswordBox = dialog->focusWidget() == dialog->PasswordTex;
        QTest::mouseClick(dialog->CancelCom, Qt::LeftButton);
    });
    QCOMPARE(m_errors.size(), 1);
    QVERIFY2(m_errors.first().startsWith(keyring ? u"キーリングにパスワードが見つかりません。"_s
                                                 : u"キーリングからパスワードを読み込めません"_s),
             qPrintable(m_errors.first()));
    QCOMPARE(askedInPasswordBox, keyring);
}

void TestPasswordInKeyring::uploadWithTheKeyringsPasswordLeavesItNowhere()
{
    if (!TestKeyring::running())
        QSKIP("needs the keyring");
    PyFtpServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
    writeSavedDay(u"2024"_s, u"05"_s, u"07"_s);
    writeFtpSettings(server.serverString(), server.user(), server.password(), QString());
    showSettings([&](ConfFor *dialog) { QTest::keyClick(dialog->OkCom, Qt::Key_Space); });

    messagesSeen.clear();
    const QtMessageHandler previous = qInstallMessageHandler(keepMessage);
    UpFor window(savedDay("2024", "05", "07"), readSettings());
    const auto result = firstAttempt(window);
    qInstallMessageHandler(previous);
    QCOMPARE(result, PublishResult::Succeeded);
    QVERIFY(server.commands().contains(u"PASS "_s + server.password()));

    // Not in the settings, the log or any other file of the program, nor in a message.
    const QByteArray secret = server.password().toUtf8();
    QDirIterator files(m_app->path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    int looked = 0;
    while (files.hasNext()) {
        const QString path = files.next();
        ++looked;
        QVERIFY2(!readWholeFile(path).contains(secret), qPrintable(path));
    }
    QVERIFY(QFile::exists(applicationPath(FtpLogFileName)));
    QVERIFY(looked > 2);
    for (const QString &message : std::as_const(messagesSeen))
        QVERIFY2(!message.contains(server.password()), qPrintable(message));
}

QTEST_MAIN(TestPasswordInKeyring)
#include "TestPasswordInKeyring.moc"
