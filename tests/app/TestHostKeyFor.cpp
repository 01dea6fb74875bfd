// The trust window "ホスト鍵の確認" as the upload window and the progress window raise it for
// an sftp:// server, answered by keyboard and frame, against OpenSSH's sshd with host keys
// made at test time.

#include "ModalAnswerer.h"
#include "SshServer.h"
#include "TestAppDir.h"
#include "TrustQuestionAnswer.h"

#include "app/HostKeyFor.h"
#include "app/SendFor.h"
#include "app/UpFor.h"
#include "diary/EntryStore.h"
#include "pages/PageGenerator.h"
#include "pages/PagePaths.h"
#include "publish/SftpClient.h"
#include "publish/SftpResult.h"
#include "publish/SiteInventory.h"
#include "publish/UploadStatus.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <optional>

using namespace Kakiva;
using namespace std::chrono_literals;
using Result = UploadAttempt::Result;

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
    void publishWindowAsks_data();
    void publishWindowAsks();

private:
    void makeKnown(Known known);
    // Connects without any question: 0 when the server's key is known, 6 when it is not.
    qint16 connectUnasked();
    QString userKnownHosts() const { return m_home->filePath(QStringLiteral(".ssh/known_hosts")); }
    // Answers the window that opens, noting what it showed and whether a login came before.
    ModalAnswerer<HostKeyFor> *answerer(TrustAnswer answer);

    std::optional<QTemporaryDir> m_home;
    std::optional<TestAppDir> m_app;
    std::optional<SshServer> m_server;
    std::unique_ptr<ModalAnswerer<HostKeyFor>> m_answerer;
    TrustAsked m_asked;
    QString m_keyText;
    QString m_logBefore;
    bool m_loginBeforeQuestion = false;
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
    QString error;
    QVERIFY2(DiaryWrite("2024", "05", "07", QStringLiteral("晴れ"), &error) == 0,
             qPrintable(error));
    QVERIFY2(HtmlMake("2024", "05", "07", &error) == 0, qPrintable(error));
    m_server.emplace();
    QVERIFY2(m_server->isRunning(), qPrintable(m_server->errorString()));
    writeFtpSettings(m_server->serverString(), m_server->user(), m_server->password(), QString());
    m_asked = {};
    m_keyText.clear();
    m_loginBeforeQuestion = false;
}

void TestHostKeyFor::cleanup()
{
    m_answerer.reset();
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
             SftpResult::Connected);
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

ModalAnswerer<HostKeyFor> *TestHostKeyFor::answerer(TrustAnswer answer)
{
    m_logBefore = m_server->log();
    m_answerer = std::make_unique<ModalAnswerer<HostKeyFor>>([this, answer](HostKeyFor *dialog) {
        m_loginBeforeQuestion = triedLogin(m_server->log().mid(m_logBefore.size()));
        m_keyText = dialog->KeyLab->text();
        m_asked = answerTrustQuestion(dialog, answer);
    });
    return m_answerer.get();
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
    const ModalAnswerer<HostKeyFor> *asking = answerer(answer);
    UpFor window([] { return UploadDate{"2024", "05", "07"}; });
    window.setRetryDelays(50ms, 50ms);
    QList<Result> results;
    connect(&window, &UpFor::attemptFinished, this, [&](Result r) { results.append(r); });
    window.show();
    QTRY_VERIFY_WITH_TIMEOUT(!results.isEmpty(), WindowTimeoutMs);

    QCOMPARE(results.first(), result);
    QCOMPARE(asking->shown(), answer == TrustAnswer::None ? 0 : 1);
    QCOMPARE(asking->leftOpen(), 0);
    if (answer != TrustAnswer::None) {
        QCOMPARE(m_asked.title, QStringLiteral("ホスト鍵の確認"));
        QVERIFY(m_asked.focusOnRefusal);
        QCOMPARE(m_asked.warned, known == Known::Changed);
        QVERIFY(!m_loginBeforeQuestion);
        for (const QString &shown :
             {QStringLiteral("127.0.0.1"), m_server->hostKeyType(), m_server->hostKeyFingerprint()})
            QVERIFY2(m_keyText.contains(shown), qPrintable(m_keyText));
    }
    // The user's file is only ever read.
    if (known == Known::UserFile)
        QCOMPARE(readWholeFile(userKnownHosts()), userFile);
    else
        QVERIFY(!QFile::exists(userKnownHosts()));

    const QStringList pages{yearListPath(), monthListPath("2024"), dayListPath("2024", "05"),
                            dayPagePath("2024", "05", "07")};
    if (result == Result::Succeeded) {
        QTRY_VERIFY(!window.isVisible());
        for (const QString &page : pages)
            QCOMPARE(m_server->remoteFile(remotePathOf(page)), readWholeFile(page));
        // A key the user trusted is known from now on.
        QCOMPARE(connectUnasked(), SftpResult::Connected);
        return;
    }
    // Refused: nothing sent, no retry, and the user can close the window by keyboard.
    QCOMPARE(window.UpLab->text(), UploadStatus::HostKeyError);
    QVERIFY(window.CloseCom->isEnabled());
    QVERIFY(!window.UpTim->isActive());
    QVERIFY(!window.isAttemptRunning());
    QVERIFY(!triedLogin(m_server->log().mid(m_logBefore.size())));
    for (const QString &page : pages)
        QVERIFY(!m_server->remoteExists(remotePathOf(page)));
    QCOMPARE(connectUnasked(), SftpResult::HostKeyNotTrusted);
    QTest::keyClick(&window, Qt::Key_Escape);
    QVERIFY(!window.isVisible());
}

void TestHostKeyFor::publishWindowAsks_data()
{
    QTest::addColumn<Known>("known");
    QTest::addColumn<TrustAnswer>("answer");
    QTest::addColumn<bool>("sent");

    QTest::newRow("known: not asked") << Known::OwnFile << TrustAnswer::None << true;
    QTest::newRow("first contact: Alt+T trusts, asked once for all sessions")
        << Known::Nowhere << TrustAnswer::AltT << true;
    QTest::newRow("changed: Escape sends nothing")
        << Known::Changed << TrustAnswer::Escape << false;
}

// The publish of the whole site asks in the same window with the same rules.
void TestHostKeyFor::publishWindowAsks()
{
    QFETCH(Known, known);
    QFETCH(TrustAnswer, answer);
    QFETCH(bool, sent);

    makeKnown(known);
    const ModalAnswerer<HostKeyFor> *asking = answerer(answer);
    const QList<SiteFile> site = siteFiles();
    QVERIFY(site.size() >= 4);
    SendFor window(SendFor::Scope::Everything);
    window.setRetryDelays(50ms, 50ms);
    QSignalSpy runs(&window, &SendFor::runFinished);
    window.show();
    QTRY_VERIFY_WITH_TIMEOUT(!runs.isEmpty(), WindowTimeoutMs);

    QCOMPARE(asking->shown(), answer == TrustAnswer::None ? 0 : 1);
    QCOMPARE(asking->leftOpen(), 0);
    if (answer != TrustAnswer::None) {
        QCOMPARE(m_asked.title, QStringLiteral("ホスト鍵の確認"));
        QCOMPARE(m_asked.warned, known == Known::Changed);
        QVERIFY(!m_loginBeforeQuestion);
    }
    const auto result = runs.first().first().value<BulkOutcome::Result>();
    if (sent) {
        QCOMPARE(result, BulkOutcome::Result::Succeeded);
        for (const SiteFile &file : site)
            QCOMPARE(m_server->remoteFile(file.remotePath), readWholeFile(file.localPath));
        QTRY_VERIFY(!window.isVisible());
        return;
    }
    QCOMPARE(result, BulkOutcome::Result::HostKeyRefused);
    QCOMPARE(window.StatusLab->text(), UploadStatus::HostKeyError);
    QVERIFY(!window.SendTim->isActive());
    QVERIFY(!window.isRunning());
    QVERIFY(!triedLogin(m_server->log().mid(m_logBefore.size())));
    for (const SiteFile &file : site)
        QVERIFY(!m_server->remoteExists(file.remotePath));
    QTest::keyClick(&window, Qt::Key_Escape);
    QVERIFY(!window.isVisible());
}

QTEST_MAIN(TestHostKeyFor)
#include "TestHostKeyFor.moc"
