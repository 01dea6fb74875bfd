// The FTP client over TLS against real servers started by the tests: pyftpdlib and, where the
// tests run as root, vsftpd with session reuse required. Certificates are made at test time.

#include "RealFtpServer.h"
#include "ScriptedFtpServer.h"
#include "TestAppDir.h"
#include "TestCertificates.h"

#include "publish/ftp/FtpClient.h"
#include "publish/ftp/FtpResult.h"
#include "publish/ftp/FtpTls.h"
#include "publish/ftp/FtpTlsClose.h"

#include <QFile>
#include <QSslCertificate>
#include <QTest>

#include <memory>
#include <optional>

using namespace Kakiva;
using namespace std::chrono_literals;

namespace {

enum class Peer
{
    PyftpdlibExplicit,
    PyftpdlibImplicit,
    VsftpdExplicit,
    VsftpdImplicit,
};

QByteArray patterned(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7919 + (i >> 9)) & 0xff);
    return bytes;
}

} // namespace

Q_DECLARE_METATYPE(Peer)
Q_DECLARE_METATYPE(ScriptedReply)
Q_DECLARE_METATYPE(ScriptedFtpScript::Transfer)

class TestFtpClientTls : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void publishesByteForByte_data();
    void publishesByteForByte();
    void certificateThatDoesNotVerify_data();
    void certificateThatDoesNotVerify();
    void removalOfWhatIsThereAndWhatIsNot_data();
    void removalOfWhatIsThereAndWhatIsNot();
    void serverWithoutTls_data();
    void serverWithoutTls();
    void hostileTlsServer_data();
    void hostileTlsServer();
    void closeAlertRecords_data();
    void closeAlertRecords();
    void handshakeFailures_data();
    void handshakeFailures();

private:
    RealFtpServer start(Peer peer, const TestCertificates::Files &files);

    std::optional<TestCertificates> m_certificates;
    std::optional<TestAppDir> m_app;
};

void TestFtpClientTls::initTestCase()
{
    m_certificates.emplace();
    QVERIFY2(m_certificates->isReady(), qPrintable(m_certificates->errorString()));
    m_certificates->trustAuthority();
}

void TestFtpClientTls::init()
{
    m_app.emplace();
}

void TestFtpClientTls::cleanup()
{
    m_app.reset();
}

RealFtpServer TestFtpClientTls::start(Peer peer, const TestCertificates::Files &files)
{
    const bool implicit = peer == Peer::PyftpdlibImplicit || peer == Peer::VsftpdImplicit;
    if (peer == Peer::PyftpdlibExplicit || peer == Peer::PyftpdlibImplicit)
        return RealFtpServer(std::make_unique<PyFtpServer>(
            QStringLiteral("127.0.0.1"), PyFtpServer::Tls{files.certificate, files.key, implicit}));
    return RealFtpServer(std::make_unique<VsftpdServer>(files.certificate, files.key, implicit));
}

void TestFtpClientTls::publishesByteForByte_data()
{
    QTest::addColumn<Peer>("peer");
    QTest::addColumn<QStringList>("loginCommands");

    const QStringList login{"USER kakivaftp", "PASS <password>", "PBSZ 0", "PROT P"};
    QTest::newRow("pyftpdlib, ftpes://")
        << Peer::PyftpdlibExplicit
        << QStringList{"AUTH TLS", "USER diarist", "PASS pw-4-tests", "PBSZ 0", "PROT P"};
    QTest::newRow("pyftpdlib, ftps://")
        << Peer::PyftpdlibImplicit
        << QStringList{"USER diarist", "PASS pw-4-tests", "PBSZ 0", "PROT P"};
    QTest::newRow("vsftpd, ftpes://") << Peer::VsftpdExplicit << QStringList{"AUTH TLS"} + login;
    QTest::newRow("vsftpd, ftps://") << Peer::VsftpdImplicit << login;
}

// Several files on one login: every data connection resumes the control connection's
// session (vsftpd refuses one that does not) and loses no byte at its close.
void TestFtpClientTls::publishesByteForByte()
{
    QFETCH(Peer, peer);
    QFETCH(QStringList, loginCommands);

    if ((peer == Peer::VsftpdExplicit || peer == Peer::VsftpdImplicit) && VsftpdServer::needsRoot())
        QSKIP("vsftpd logs in a local user, which needs root");
    const RealFtpServer server = start(peer, m_certificates->signedByCa());
    QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
    const QList<std::pair<QString, QByteArray>> files{{"large.html", patterned(3 * 1024 * 1024)},
                                                      {"small.html", QByteArray("<p>day</p>")},
                                                      {"empty.html", QByteArray()}};
    const QString logPath = m_app->filePath(QStringLiteral("ftp.log"));
    FtpClient client;
    client.setTimeout(20s);
    client.OpenLog(logPath, 1);
    int asked = 0;
    client.setCertificateCheck([&](const CertificateQuestion &) { return ++asked, false; });
    QCOMPARE(client.Connect(server.serverString(), server.user(), server.password()),
             FtpResult::Connect::Connected);
    for (const auto &[name, bytes] : files)
        QCOMPARE(client.PutFile(m_app->write(name, bytes), QString()), FtpResult::PutFile::Stored);
    client.Close();
    client.CloseLog();

    QCOMPARE(asked, 0); // the test authority is trusted as the system's store would be
    for (const auto &[name, bytes] : files)
        QCOMPARE(server.remoteFile(name), bytes);
    QCOMPARE(server.commands().mid(0, loginCommands.size()), loginCommands);
    const QByteArray log = readWholeFile(logPath);
    QVERIFY2(log.contains("TLS: TLSv1."), log.constData());
    QVERIFY(log.contains("certificate SHA-256 "));
    QVERIFY(!log.contains(server.password().toUtf8()));
}

void TestFtpClientTls::removalOfWhatIsThereAndWhatIsNot_data()
{
    QTest::addColumn<Peer>("peer");
    QTest::newRow("pyftpdlib") << Peer::PyftpdlibExplicit;
    QTest::newRow("vsftpd") << Peer::VsftpdExplicit;
}

// A real server's 550 to DELE for a file that is not there is taken as gone once the server
// confirms it is missing; a file that is there is removed.
void TestFtpClientTls::removalOfWhatIsThereAndWhatIsNot()
{
    QFETCH(Peer, peer);
    if (peer == Peer::VsftpdExplicit && VsftpdServer::needsRoot())
        QSKIP("vsftpd logs in a local user, which needs root");
    const RealFtpServer server = start(peer, m_certificates->signedByCa());
    QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
    FtpClient client;
    client.setTimeout(20s);
    QCOMPARE(client.Connect(server.serverString(), server.user(), server.password()),
             FtpResult::Connect::Connected);
    QCOMPARE(client.PutFile(m_app->write(QStringLiteral("17.html"), "day"), QString()),
             FtpResult::PutFile::Stored);
    QCOMPARE(client.RemoveFile(QStringLiteral("17.html")), FtpResult::RemoveFile::Removed);
    QCOMPARE(client.RemoveFile(QStringLiteral("17.html")), FtpResult::RemoveFile::NotThere);
    QCOMPARE(client.RemoveFile(QStringLiteral("never.html")), FtpResult::RemoveFile::NotThere);
    client.Close();
    QVERIFY(!QFile::exists(server.homePath() + QStringLiteral("/17.html")));
    QTRY_VERIFY(server.commands().contains(QStringLiteral("SIZE never.html")));
}

void TestFtpClientTls::certificateThatDoesNotVerify_data()
{
    QTest::addColumn<Peer>("peer");
    QTest::addColumn<bool>("trusted");
    QTest::addColumn<QStringList>("commands"); // all the server saw

    QTest::newRow("ftpes://, refused")
        << Peer::PyftpdlibExplicit << false << QStringList{"AUTH TLS"};
    QTest::newRow("ftps://, refused") << Peer::PyftpdlibImplicit << false << QStringList{};
    QTest::newRow("ftpes://, trusted")
        << Peer::PyftpdlibExplicit << true
        << QStringList{"AUTH TLS", "USER diarist", "PASS pw-4-tests", "PBSZ 0", "PROT P"};
}

// A self-signed certificate: the check is asked before any login, and its answer decides.
void TestFtpClientTls::certificateThatDoesNotVerify()
{
    QFETCH(Peer, peer);
    QFETCH(bool, trusted);
    QFETCH(QStringList, commands);

    const RealFtpServer server = start(peer, m_certificates->selfSigned());
    QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
    QList<CertificateQuestion> questions;
    qsizetype commandsWhenAsked = -1;
    FtpClient client;
    client.setTimeout(20s);
    client.setCertificateCheck([&](const CertificateQuestion &question) {
        questions.append(question);
        commandsWhenAsked = server.commands().size();
        return trusted;
    });
    QCOMPARE(int(client.Connect(server.serverString(), server.user(), server.password())),
             trusted ? int(FtpResult::Connect::Connected)
                     : int(FtpResult::Connect::SessionRefused));
    client.Close();

    QCOMPARE(questions.size(), 1);
    const QSslCertificate presented =
        QSslCertificate::fromPath(m_certificates->selfSigned().certificate).value(0);
    QCOMPARE(questions.first().certificate, presented);
    QVERIFY(!questions.first().problems.isEmpty());
    QVERIFY(server.serverString().endsWith(questions.first().server));
    QCOMPARE(commandsWhenAsked, peer == Peer::PyftpdlibExplicit ? 1 : 0);
    QTRY_COMPARE(server.commands().size(), commands.size() + (trusted ? 1 : 0)); // and QUIT
    QCOMPARE(server.commands().mid(0, commands.size()), commands);
}

void TestFtpClientTls::serverWithoutTls_data()
{
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QByteArray>("authReply");
    QTest::addColumn<int>("result");
    QTest::addColumn<QList<QByteArray>>("commands");

    QTest::newRow("AUTH TLS refused")
        << "ftpes://" << QByteArray("500 Unknown command\r\n")
        << int(FtpResult::Connect::SessionRefused) << QList<QByteArray>{"AUTH TLS"};
    // Its plain greeting is no TLS handshake.
    QTest::newRow("implicit TLS to a plain server")
        << "ftps://" << QByteArray() << int(FtpResult::Connect::TlsHandshakeRefused)
        << QList<QByteArray>{};
}

// Neither the user name nor the password ever goes out in clear.
void TestFtpClientTls::serverWithoutTls()
{
    QFETCH(QString, scheme);
    QFETCH(QByteArray, authReply);
    QFETCH(int, result);
    QFETCH(QList<QByteArray>, commands);

    ScriptedFtpServer server;
    server.setReply("AUTH", ScriptedReply::text(authReply));
    FtpClient client;
    client.setTimeout(5s);
    QCOMPARE(int(client.Connect(scheme + server.serverString(), QStringLiteral("diarist"),
                                QStringLiteral("secret"))),
             result);
    QTRY_COMPARE(server.script().disconnections(), 1);
    // A TLS handshake may read as lines of nonsense to a plain server; a login never does.
    for (const QByteArray &line : server.commands())
        QVERIFY(!line.contains("diarist") && !line.contains("secret"));
    if (!commands.isEmpty())
        QCOMPARE(server.commands(), commands);
}

void TestFtpClientTls::hostileTlsServer_data()
{
    QTest::addColumn<QByteArray>("verb");
    QTest::addColumn<ScriptedReply>("reply");
    QTest::addColumn<ScriptedFtpScript::Transfer>("transfer");
    QTest::addColumn<int>("connected");
    QTest::addColumn<QList<QByteArray>>("commands"); // all the server saw, when not connected
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("kept"); // of the page's 250 bytes

    using Transfer = ScriptedFtpScript::Transfer;
    const QList<QByteArray> none;
    // Bytes after the 234 come in clear: glued to the first reply under TLS, they would
    // answer USER in someone else's words.
    QTest::newRow("plaintext injected after 234")
        << QByteArray("AUTH") << ScriptedReply::text("234 Go ahead\r\n230 X-") << Transfer::Store
        << int(FtpResult::Connect::UnexpectedReply) << QList<QByteArray>{"AUTH TLS"} << 0 << 0;
    // Waiting for a reply after the alert would run into the time-out; none can come.
    QTest::newRow("close alert after 331, then 230 in clear")
        << QByteArray("USER")
        << ScriptedReply::endingTls("331 Password required\r\n", "230 Logged in\r\n")
        << Transfer::Store << int(FtpResult::Connect::ClosedByServer)
        << QList<QByteArray>{"AUTH TLS", "USER diarist"} << 0 << 0;
    QTest::newRow("data reset at our end, 100 of 250 bytes kept, then 226")
        << QByteArray("NOOP") << ScriptedReply::asUsual() << Transfer::ResetAfter << 0 << none
        << int(FtpResult::TransferIncomplete) << 100;
    // Without the close alert the size the server then holds decides: SIZE catches the short
    // file, and takes the whole one, as many servers end TLS so.
    QTest::newRow("data ended without close alert after 100 bytes, then 226")
        << QByteArray("NOOP") << ScriptedReply::asUsual() << Transfer::EndAfter << 0 << none
        << int(FtpResult::TransferIncomplete) << 100;
    QTest::newRow("data ended without close alert after every byte, then 226")
        << QByteArray("NOOP") << ScriptedReply::asUsual() << Transfer::EndAfter << 0 << none
        << int(FtpResult::PutFile::Stored) << 250;
    QTest::newRow("data ended without close alert after every byte, SIZE refused")
        << QByteArray("SIZE") << ScriptedReply::text("502 Not implemented\r\n") << Transfer::EndAfter
        << 0 << none << int(FtpResult::TransferIncomplete) << 250;
}

// A server, or someone on the path, that plays with the ends of TLS: nothing in clear is taken
// for a reply, and a page the server stopped reading is never counted as stored, whatever it
// answers afterwards; one it holds whole is, close alert or not.
void TestFtpClientTls::hostileTlsServer()
{
    QFETCH(QByteArray, verb);
    QFETCH(ScriptedReply, reply);
    QFETCH(ScriptedFtpScript::Transfer, transfer);
    QFETCH(int, connected);
    QFETCH(QList<QByteArray>, commands);
    QFETCH(int, stored);
    QFETCH(int, kept);

    ScriptedFtpServer server;
    const TestCertificates::Files identity = m_certificates->signedByCa();
    server.script().setTls(identity.certificate, identity.key);
    server.setReply(verb, reply);
    server.script().setTransfer(transfer, kept);
    FtpClient client;
    client.setTimeout(20s);
    QCOMPARE(int(client.Connect("ftpes://" + server.serverString(), QStringLiteral("diarist"),
                                QStringLiteral("secret"))),
             connected);
    if (connected != FtpResult::Connect::Connected) {
        QCOMPARE(server.commands(), commands);
        return;
    }
    const QByteArray page = patterned(250);
    QCOMPARE(int(client.PutFile(m_app->write(QStringLiteral("page.html"), page), QString())),
             stored);
    QCOMPARE(server.file(QStringLiteral("/page.html")), page.left(kept));
}

void TestFtpClientTls::closeAlertRecords_data()
{
    QTest::addColumn<QByteArray>("records");
    QTest::addColumn<bool>("tls13");
    QTest::addColumn<bool>("closeAlert");

    const auto record = [](char type, int length) {
        const char header[] = {type, 3, 3, char(length >> 8), char(length & 0xff)};
        return QByteArray(header, sizeof header) + QByteArray(length, 'x');
    };
    // What vsftpd and pyftpdlib send after a client's close alert, and nothing else.
    QTest::newRow("TLS 1.2 alert") << record(21, 26) << false << true;
    QTest::newRow("TLS 1.3 close alert") << record(23, 19) << true << true;
    QTest::newRow("TLS 1.3 ticket, then close alert")
        << record(23, 250) + record(23, 19) << true << true;
    QTest::newRow("nothing") << QByteArray() << true << false;
    QTest::newRow("TLS 1.3 ticket alone") << record(23, 250) << true << false;
    QTest::newRow("TLS 1.2 data") << record(23, 26) << false << false;
    QTest::newRow("alert cut short") << record(21, 26).left(20) << false << false;
}

void TestFtpClientTls::closeAlertRecords()
{
    QFETCH(QByteArray, records);
    QFETCH(bool, tls13);
    QFETCH(bool, closeAlert);
    QCOMPARE(endsWithCloseAlert(records, tls13), closeAlert);
}

void TestFtpClientTls::handshakeFailures_data()
{
    QTest::addColumn<QList<QSsl::AlertType>>("alerts");
    QTest::addColumn<int>("result");

    using A = QSsl::AlertType;
    QTest::newRow("no alert") << QList<A>{} << int(FtpResult::Connect::TlsHandshakeRefused);
    QTest::newRow("handshake failure")
        << QList<A>{A::HandshakeFailure} << int(FtpResult::Connect::TlsHandshakeRefused);
    QTest::newRow("protocol version")
        << QList<A>{A::ProtocolVersion} << int(FtpResult::Connect::TlsProtocolTooOld);
    QTest::newRow("bad certificate")
        << QList<A>{A::BadCertificate} << int(FtpResult::Connect::TlsCertificateFailed);
    QTest::newRow("certificate required")
        << QList<A>{A::CertificateRequired} << int(FtpResult::Connect::TlsCertificateFailed);
    QTest::newRow("version behind another") << QList<A>{A::InternalError, A::ProtocolVersion}
                                            << int(FtpResult::Connect::TlsProtocolTooOld);
}

void TestFtpClientTls::handshakeFailures()
{
    QFETCH(QList<QSsl::AlertType>, alerts);
    QFETCH(int, result);
    QCOMPARE(int(handshakeFailureResult(alerts)), result);
}

QTEST_GUILESS_MAIN(TestFtpClientTls)
#include "TestFtpClientTls.moc"
