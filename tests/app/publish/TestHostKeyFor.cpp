// The trust window "ホスト鍵の確認" as the upload window raises it for an sftp:// server,
// answered by keyboard and frame, against OpenSSH's sshd with host keys made at test time.

#include "DayPages.h"
#include "ModalAnswerer.h"
#include "SshServer.h"
#include "TestAppDir.h"
#include "TrustQuestionAnswer.h"
#include "TrustedUpload.h"

#include "app/publish/HostKeyFor.h"
#include "app/publish/OutcomeText.h"
#include "app/publish/UpFor.h"
#include "diary/EntryStore.h"
#include "pages/PageGenerator.h"
#include "pages/PagePaths.h"
#include "publish/SiteInventory.h"
#include "publish/sftp/SftpClient.h"
#include "publish/sftp/SftpResult.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using namespace Kakiva;
using namespace std::chrono_literals;
using Result = PublishResult;

namespace {

// Where the server's current host key is known before the window opens.
enum class Known
{
    Nowhere,
    OwnFile,  // Kakiva's known_hosts
    UserFile, // ~/.ssh/known_hosts
    Changed,  // Kakiva's file holds the server's previous key
};

constexpr int WindowTimeoutMs = 20000;

// sshd logs every login it accepts or refuses at the level the fixture sets.
bool triedLogin(const QString &log)
{
    return log.contains(QStringLiteral("Accepted")) || log.contains(QStringLiteral("Failed"));
}

} // namespace

Q_DECLARE_METATYPE(Known)
Q_DECLARE_METATYPE(Result)

class TestHostKeyFor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void uploadWindowAsks_data();
    void uploadWindowAsks();

private:
    void makeKnown(Known known);
    // Connects without any question: 0 when the server's key is known, 6 when it is not.
    qint16 connectUnasked();
    QString userKnownHosts() const { return m_home->filePath(QStringLiteral(".ssh/known_hosts")); }

    std::optional<QTemporaryDir> m_home;
    std::optional<TestAppDir> m_app;
    std::optional<SshServer> m_server;
};

void TestHostKeyFor::initTestCase()
{
    QApplication::setQuitOnLastWindowClosed(false);
    // The user's own known_hosts is the test's, never the account's.
    m_home.emplace();
    QVERIFY(QDir(m_home->path()).mkpath(QStringLiteral(".ssh")));
    qputenv("HOME", QFile::encodeName(m_home->path()));
}

void TestHostKeyFor::init()
{
    m_app.emplace();
    writeSavedDay("2024", "05", "07");
    m_server.emplace();
    QVERIFY2(m_server->isRunning(), qPrintable(m_server->errorString()));
    writeFtpSettings(m_server->serverString(), m_server->user(), m_server->password(), QString());
}

void TestHostKeyFor::cleanup()
{
    m_server.reset();
    m_app.reset();
    QFile::remove(userKnownHosts());
}

void TestHostKeyFor::makeKnown(Known known)
{
    if (known == Known::Nowhere)
        return;
    SftpClient client;
    client.setHostKeyTrust([](const HostKeyQuestion &) { return true; });
    QCOMPARE(client.Connect(m_server->serverString(), m_server->user(), m_server->password()),
             SftpResult::Connect::Connected);
    client.Close();
    if (known == Known::UserFile)
        QVERIFY(QFile::rename(m_app->filePath(QStringLiteral("known_hosts")), userKnownHosts()));
    if (known == Known::Changed)
        QVERIFY(m_server->restartWithNewHostKey());
}

qint16 TestHostKeyFor::connectUnasked()
{
    SftpClient client;
    return client.Connect(m_server->serverString(), m_server->user(), m_server->password());
}

void TestHostKeyFor::uploadWindowAsks_data()
{
    QTest::addColumn<Known>("known");
    QTest::addColumn<TrustAnswer>("answer");
    QTest::addColumn<Result>("result");

    QTest::newRow("first contact: Alt+T trusts and the upload goes on")
        << Known::Nowhere << TrustAnswer::AltT << Result::Succeeded;
    QTest::newRow("first contact: Escape sends nothing")
        << Known::Nowhere << TrustAnswer::Escape << Result::HostKeyRefused;
    QTest::newRow("known to Kakiva: not asked")
        << Known::OwnFile << TrustAnswer::None << Result::Succeeded;
    QTest::newRow("known from ~/.ssh/known_hosts: not asked")
        << Known::UserFile << TrustAnswer::None << Result::Succeeded;
    QTest::newRow("changed: warned, Escape sends nothing")
        << Known::Changed << TrustAnswer::Escape << Result::HostKeyRefused;
    QTest::newRow("changed: warned, the frame sends nothing")
        << Known::Changed << TrustAnswer::Frame << Result::HostKeyRefused;
    QTest::newRow("changed: warned, Alt+T trusts the new key")
        << Known::Changed << TrustAnswer::AltT << Result::Succeeded;
}

void TestHostKeyFor::uploadWindowAsks()
{
    QFETCH(Known, known);
    QFETCH(TrustAnswer, answer);
    QFETCH(Result, result);

    makeKnown(known);
    const QByteArray userFile =
        known == Known::UserFile ? readWholeFile(userKnownHosts()) : QByteArray();
    const QString logBefore = m_server->log();
    QString keyText;
    bool loginBeforeQuestion = false;
    UpFor window(savedDay("2024", "05", "07"), readSettings());
    const TrustedUpload upload =
        answerTrustInFirstRun<HostKeyFor>(window, answer, [&](HostKeyFor *dialog) {
            loginBeforeQuestion = triedLogin(m_server->log().mid(logBefore.size()));
            keyText = dialog->KeyLab->text();
        });
    verifyTrustAsked(upload, answer, QStringLiteral("ホスト鍵の確認"), known == Known::Changed);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(upload.result, result);
    if (answer != TrustAnswer::None) {
        QVERIFY(!loginBeforeQuestion);
        for (const QString &shown :
             {QStringLiteral("127.0.0.1"), m_server->hostKeyType(), m_server->hostKeyFingerprint()})
            QVERIFY2(keyText.contains(shown), qPrintable(keyText));
    }
    // The user's file is only ever read.
    if (known == Known::UserFile)
        QCOMPARE(readWholeFile(userKnownHosts()), userFile);
    else
        QVERIFY(!QFile::exists(userKnownHosts()));

    const QString dayPage = dayPagePath("2024", "05", "07");
    if (result == Result::Succeeded) {
        QTRY_VERIFY(!window.isVisible());
        QCOMPARE(m_server->remoteFile(remotePathOf(dayPage)), readWholeFile(dayPage));
        // A key the user trusted is known from now on.
        QCOMPARE(connectUnasked(), SftpResult::Connect::Connected);
        return;
    }
    // Refused: nothing sent, no retry, and the user can close the window by keyboard.
    QCOMPARE(window.UpLab->text(), OutcomeText::of(OutcomeKind::HostKeyNotTrusted));
    QVERIFY(window.CloseCom->isEnabled());
    QVERIFY(!window.UpTim->isActive());
    QVERIFY(!window.isRunning());
    QVERIFY(!triedLogin(m_server->log().mid(logBefore.size())));
    QVERIFY(!m_server->remoteExists(remotePathOf(dayPage)));
    QCOMPARE(connectUnasked(), SftpResult::Connect::HostKeyNotTrusted);
    QTest::keyClick(&window, Qt::Key_Escape);
    QVERIFY(!window.isVisible());
}

QTEST_MAIN(TestHostKeyFor)
#include "TestHostKeyFor.moc"
