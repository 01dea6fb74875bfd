// The SFTP client against OpenSSH's sshd: host keys asked, pinned and refused; login; the
// pages stored byte for byte under their final names only once whole.

#include "SshServer.h"
#include "TcpRelay.h"
#include "TestAppDir.h"

#include "publish/sftp/KnownHostLines.h"
#include "publish/sftp/SftpClient.h"
#include "publish/sftp/SftpPacket.h"
#include "publish/sftp/SftpRemotePath.h"
#include "publish/sftp/SftpResult.h"
#include "publish/sftp/SftpServerAddress.h"
#include "publish/sftp/SshHostKeys.h"
#include "publish/sftp/SshLogin.h"

#include <QDir>
#include <QTest>

#include <future>
#include <optional>

#include <sys/stat.h>

using namespace Kakiva;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(Kakiva::KnownHostMatch)
Q_DECLARE_METATYPE(Kakiva::LoginPrompt)

namespace {

int openDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd"))
                   .entryList(QDir::AllEntries | QDir::NoDotAndDotDot)
                   .size());
}

QByteArray patterned(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7919 + (i >> 9)) & 0xff);
    return bytes;
}

// Remembers every question and answers them all the same way.
struct TrustRecorder
{
    bool answer = true;
    QList<HostKeyQuestion> questions;
    HostKeyTrust callback()
    {
        return [this](const HostKeyQuestion &question) {
            questions << question;
            return answer;
        };
    }
};

} // namespace

class TestSftpClient : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void serverAddress_data();
    void serverAddress();
    void remotePath_data();
    void remotePath();
    void knownHostEntry_data();
    void knownHostEntry();
    void knownHostMatch_data();
    void knownHostMatch();
    void takeMessage_data();
    void takeMessage();
    void passwordPrompt_data();
    void passwordPrompt();
    void roundAnsweredWithPassword_data();
    void roundAnsweredWithPassword();

    void firstContactAsksAndPins_data();
    void firstContactAsksAndPins();
    void changedKeyIsAskedAndRefusalSendsNothing();
    void keyPinnedBehindDamageIsRead_data();
    void keyPinnedBehindDamageIsRead();
    void userKnownHostsIsOnlyRead();
    void connectResults_data();
    void connectResults();
    void keyLoginWithEmptyPassword();
    void serverWithoutSftp();
    void stalledHandshakeEnds_data();
    void stalledHandshakeEnds();

    void publishCreatesDirectoriesAndStoresBytes();
    void putFileFailures_data();
    void putFileFailures();
    void hostileServer_data();
    void hostileServer();
    void pagesReplacedAllOrNone_data();
    void pagesReplacedAllOrNone();
    void droppedConnectionLeavesOldPageWhole();
    void cancelEndsTransfer();
    void logHoldsStepsAndFingerprintNotPassword();

private:
    std::unique_ptr<SftpClient> newClient(TrustRecorder *trust = nullptr);
    qint16 connect(SftpClient &client, quint16 viaPort = 0);
    // Connects through a relay and starts sending a file big enough to be caught half way;
    // returns once the relay holds the transfer.
    void startHeldTransfer(SftpClient &client, TcpRelay &relay, std::future<qint16> *result);

    std::optional<TestAppDir> m_app;
    std::optional<SshServer> m_server;
    KnownHostsFiles m_files;
};

void TestSftpClient::init()
{
    m_app.emplace();
    m_files = {m_app->filePath(QStringLiteral("user_known_hosts")),
               m_app->filePath(QStringLiteral("known_hosts"))};
    const QString name = QString::fromLatin1(QTest::currentTestFunction());
    const bool pure =
        name == QLatin1String("serverAddress") || name == QLatin1String("remotePath") ||
        name == QLatin1String("knownHostEntry") || name == QLatin1String("takeMessage") ||
        name == QLatin1String("passwordPrompt") || name == QLatin1String("hostileServer");
    if (pure)
        return;
    m_server.emplace();
    QVERIFY2(m_server->isRunning(), qPrintable(m_server->errorString()));
}

void TestSftpClient::cleanup()
{
    m_server.reset();
    m_app.reset();
}

std::unique_ptr<SftpClient> TestSftpClient::newClient(TrustRecorder *trust)
{
    auto client = std::make_unique<SftpClient>();
    client->setKnownHostsFiles(m_files);
    client->setTimeout(20s);
    if (trust)
        client->setHostKeyTrust(trust->callback());
    return client;
}

qint16 TestSftpClient::connect(SftpClient &client, quint16 viaPort)
{
    return client.Connect(m_server->serverString(viaPort), m_server->user(), m_server->password());
}

void TestSftpClient::serverAddress_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("host"); // empty: no address
    QTest::addColumn<int>("port");

    QTest::newRow("name") << "sftp://example.org"
                          << "example.org" << 22;
    QTest::newRow("name and port") << "sftp://example.org:2222"
                                   << "example.org" << 2222;
    QTest::newRow("port 21 is kept") << "sftp://example.org:21"
                                     << "example.org" << 21;
    QTest::newRow("scheme in capitals, slash") << " SFTP://host/ "
                                               << "host" << 22;
    QTest::newRow("bracketed IPv6") << "sftp://[::1]"
                                    << "::1" << 22;
    QTest::newRow("bracketed IPv6 and port") << "sftp://[::1]:2200"
                                             << "::1" << 2200;
    QTest::newRow("bare IPv6") << "sftp://fe80::1"
                               << "fe80::1" << 22;
    QTest::newRow("ftp server") << "ftp.example.org"
                                << "" << 0;
    QTest::newRow("no host") << "sftp://"
                             << "" << 0;
    QTest::newRow("port 0") << "sftp://host:0"
                            << "" << 0;
    QTest::newRow("path after host") << "sftp://host/www"
                                     << "" << 0;
}

void TestSftpClient::serverAddress()
{
    QFETCH(QString, server);
    QFETCH(QString, host);
    QFETCH(int, port);
    const auto address = parseSftpServerAddress(server);
    QCOMPARE(address.has_value(), !host.isEmpty());
    if (address) {
        QCOMPARE(address->host, host);
        QCOMPARE(int(address->port), port);
    }
}

void TestSftpClient::remotePath_data()
{
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("path");

    QTest::newRow("below the login directory") << ""
                                               << "www"
                                               << "www";
    QTest::newRow("below a directory") << "www"
                                       << "2024"
                                       << "www/2024";
    QTest::newRow("absolute name") << "www"
                                   << "/srv/site"
                                   << "/srv/site";
    QTest::newRow("below the root") << "/"
                                    << "srv"
                                    << "/srv";
    QTest::newRow("trailing slash dropped") << "www"
                                            << "2024/"
                                            << "www/2024";
    QTest::newRow("empty name stays") << "www"
                                      << ""
                                      << "www";
    QTest::newRow("empty name at login") << ""
                                         << ""
                                         << ".";
    QTest::newRow("up from a month") << "www/2024/05"
                                     << "../../.year.html.upload"
                                     << "www/.year.html.upload";
    QTest::newRow("up past the login directory") << "www"
                                                 << "../../x"
                                                 << "../x";
}

void TestSftpClient::remotePath()
{
    QFETCH(QString, directory);
    QFETCH(QString, name);
    QFETCH(QString, path);
    QCOMPARE(sftpRemotePath(directory, name), path);
}

void TestSftpClient::knownHostEntry_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray entry = "[h]:22 ssh-ed25519 NEW";
    QTest::newRow("empty file") << QByteArray() << entry + '\n';
    QTest::newRow("other hosts kept") << QByteArray("a ssh-rsa A\n# note\n")
                                      << QByteArray("a ssh-rsa A\n# note\n") + entry + '\n';
    QTest::newRow("same host and type replaced")
        << QByteArray("[h]:22 ssh-ed25519 OLD\nb ssh-ed25519 B")
        << "b ssh-ed25519 B\n" + entry + '\n';
    QTest::newRow("same host, other type kept")
        << QByteArray("[h]:22 ssh-rsa R\n") << "[h]:22 ssh-rsa R\n" + entry + '\n';
    QTest::newRow("line with a NUL left out")
        << QByteArray("a ssh-rsa A\nb ssh-rsa \0B\nc ssh-rsa C\n", 37)
        << "a ssh-rsa A\nc ssh-rsa C\n" + entry + '\n';
    QTest::newRow("line without a key left out")
        << QByteArray("garbage\na ssh-rsa A\n") << "a ssh-rsa A\n" + entry + '\n';
}

void TestSftpClient::knownHostEntry()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, expected);
    QCOMPARE(withKnownHostEntry(file, "[h]:22 ssh-ed25519 NEW\n"), expected);
}

void TestSftpClient::knownHostMatch_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<quint16>("port");
    QTest::addColumn<KnownHostMatch>("match");
    const QByteArray pinned = "[127.0.0.1]:2222 ssh-ed25519 KEY\n";
    const QByteArray nul("x ssh-rsa \0A\n", 13);

    QTest::newRow("pinned") << pinned << quint16(2222) << KnownHostMatch::Known;
    QTest::newRow("pinned behind a NUL") << nul + pinned << quint16(2222) << KnownHostMatch::Known;
    QTest::newRow("pinned behind a line without a key")
        << "garbage\n" + pinned << quint16(2222) << KnownHostMatch::Known;
    QTest::newRow("pinned behind a control byte")
        << QByteArray("y ssh-rsa \x01B\r\n") + pinned << quint16(2222) << KnownHostMatch::Known;
    QTest::newRow("other key behind a NUL")
        << nul + "[127.0.0.1]:2222 ssh-ed25519 OLD\n" << quint16(2222) << KnownHostMatch::Changed;
    QTest::newRow("other key and this one") << "[127.0.0.1]:2222 ssh-ed25519 OLD\n" + pinned
                                            << quint16(2222) << KnownHostMatch::Known;
    QTest::newRow("other type only")
        << nul + "[127.0.0.1]:2222 ssh-rsa RSA\n" << quint16(2222) << KnownHostMatch::OtherType;
    QTest::newRow("other port") << pinned << quint16(22) << KnownHostMatch::Unknown;
    QTest::newRow("port 22 without brackets")
        << QByteArray("127.0.0.1 ssh-ed25519 OLD\n") << quint16(22) << KnownHostMatch::Changed;
    QTest::newRow("one of a list")
        << QByteArray("a.jp,[127.0.0.1]:2222 ssh-ed25519 OLD\n") << quint16(2222)
        << KnownHostMatch::Changed;
    QTest::newRow("hashed, behind a NUL")
        << nul + "|1|MDEyMzQ1Njc4OWFiY2RlZmdoaWo=|kjl9J932vxVxCmU2IfKMefPFSKM= ssh-ed25519 OLD\n"
        << quint16(2222) << KnownHostMatch::Changed;
    QTest::newRow("hashed for another host")
        << QByteArray("|1|MDEyMzQ1Njc4OWFiY2RlZmdoaWo=|tKko03Q1j4q69QKnLCmQ7g7OBeU= ssh-ed25519 O\n")
        << quint16(2222) << KnownHostMatch::Unknown;
    QTest::newRow("revoked is no pin")
        << QByteArray("@revoked [127.0.0.1]:2222 ssh-ed25519 KEY\n") << quint16(2222)
        << KnownHostMatch::Unknown;
    QTest::newRow("commented out")
        << QByteArray("# [127.0.0.1]:2222 ssh-ed25519 OLD\n") << quint16(2222)
        << KnownHostMatch::Unknown;
    QTest::newRow("key damaged on its own line")
        << QByteArray("[127.0.0.1]:2222 ssh-ed25519 K\0EY\n", 34) << quint16(2222)
        << KnownHostMatch::Unknown;
}

// The key a server shows against a known_hosts text, read past what cannot be read.
void TestSftpClient::knownHostMatch()
{
    QFETCH(QByteArray, file);
    QFETCH(quint16, port);
    QFETCH(KnownHostMatch, match);
    QCOMPARE(matchKnownHost(file, QStringLiteral("127.0.0.1"), port, "ssh-ed25519", "KEY"), match);
}

void TestSftpClient::takeMessage_data()
{
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<int>("type"); // 0: nothing taken
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("broken");
    QTest::addColumn<int>("left");

    const QByteArray status = SftpPacket::frame(SftpPacket::Status, 7, QByteArray("\0\0\0\0", 4));
    QTest::newRow("whole") << status << int(SftpPacket::Status) << QByteArray("\0\0\0\0", 4)
                           << false << 0;
    QTest::newRow("two, first taken") << status + status << int(SftpPacket::Status)
                                      << QByteArray("\0\0\0\0", 4) << false << int(status.size());
    QTest::newRow("length only") << status.left(4) << 0 << QByteArray() << false << 4;
    QTest::newRow("body cut short")
        << status.chopped(1) << 0 << QByteArray() << false << int(status.size() - 1);
    QTest::newRow("length below header")
        << QByteArray("\0\0\0\x02\x65\0", 6) << 0 << QByteArray() << true << 6;
    QTest::newRow("length past bound")
        << QByteArray("\x7f\0\0\0", 4) << 0 << QByteArray() << true << 4;
}

void TestSftpClient::takeMessage()
{
    QFETCH(QByteArray, buffer);
    QFETCH(int, type);
    QFETCH(QByteArray, body);
    QFETCH(bool, broken);
    QFETCH(int, left);
    bool isBroken = false;
    const auto message = SftpPacket::takeMessage(buffer, &isBroken);
    QCOMPARE(message.has_value(), type != 0);
    if (message) {
        QCOMPARE(int(message->type), type);
        QCOMPARE(message->id, 7u);
        QCOMPARE(message->body, body);
    }
    QCOMPARE(isBroken, broken);
    QCOMPARE(int(buffer.size()), left);
}

void TestSftpClient::passwordPrompt_data()
{
    QTest::addColumn<QString>("prompt");
    QTest::addColumn<bool>("echoed");
    QTest::addColumn<bool>("forPassword");

    QTest::newRow("PAM") << "Password: " << false << true;
    QTest::newRow("Japanese") << "パスワード:" << false << true;
    QTest::newRow("shown as typed") << "Password: " << true << false;
    QTest::newRow("one-time password") << "One-time password (OATH):" << false << false;
    QTest::newRow("new password") << "New password: " << false << false;
}

void TestSftpClient::passwordPrompt()
{
    QFETCH(QString, prompt);
    QFETCH(bool, echoed);
    QFETCH(bool, forPassword);
    QCOMPARE(isPasswordPrompt(prompt, echoed), forPassword);
}

void TestSftpClient::roundAnsweredWithPassword_data()
{
    QTest::addColumn<QList<LoginPrompt>>("round");
    QTest::addColumn<bool>("answered");
    const LoginPrompt password{QStringLiteral("Password: "), false};
    QTest::newRow("sshd's own prompt") << QList<LoginPrompt>{password} << true;
    QTest::newRow("Japanese password prompt")
        << QList<LoginPrompt>{{QStringLiteral("パスワード:"), false}} << true;
    QTest::newRow("a single code prompt")
        << QList<LoginPrompt>{{QStringLiteral("Verification code: "), false}} << false;
    QTest::newRow("a single one-time password prompt")
        << QList<LoginPrompt>{{QStringLiteral("One-time password (OATH) for 'u': "), false}}
        << false;
    QTest::newRow("a single question shown as typed")
        << QList<LoginPrompt>{{QStringLiteral("Password: "), true}} << false;
    QTest::newRow("a single question of anything else")
        << QList<LoginPrompt>{{QStringLiteral("Enter PIN: "), false}} << false;
    QTest::newRow("a single empty prompt") << QList<LoginPrompt>{{QString(), false}} << false;
    QTest::newRow("password and a code together")
        << QList<LoginPrompt>{password, {QStringLiteral("Verification code: "), false}} << false;
    QTest::newRow("two password prompts") << QList<LoginPrompt>{password, password} << false;
    QTest::newRow("no prompts") << QList<LoginPrompt>{} << false;
}

// Only a hidden prompt that asks for the password gets it: a lone prompt for anything else
// would hand the password to whatever the server asks.
void TestSftpClient::roundAnsweredWithPassword()
{
    QFETCH(QList<LoginPrompt>, round);
    QFETCH(bool, answered);
    QCOMPARE(answersWithPassword(round), answered);
}

// A known_hosts file of ours that the library cannot read to its end, or either file not
// being a file, must neither hide the pinned key nor stall the connection.
void TestSftpClient::firstContactAsksAndPins_data()
{
    QTest::addColumn<QByteArray>("ownBefore"); // "fifo": a named pipe
    QTest::addColumn<bool>("userFifo");
    QTest::addColumn<int>("questions"); // after two connections

    QTest::newRow("no file yet") << QByteArray() << false << 1;
    QTest::newRow("damaged by a NUL")
        << QByteArray("a ssh-rsa \0A\nb ssh-rsa B\n", 25) << false << 1;
    QTest::newRow("ours a named pipe") << QByteArray("fifo") << false << 2;
    QTest::newRow("user's a named pipe") << QByteArray() << true << 1;
}

void TestSftpClient::firstContactAsksAndPins()
{
    QFETCH(QByteArray, ownBefore);
    QFETCH(bool, userFifo);
    QFETCH(int, questions);
    const bool ownFifo = ownBefore == "fifo";
    if (ownFifo)
        QCOMPARE(::mkfifo(QFile::encodeName(m_files.own).constData(), 0600), 0);
    else if (!ownBefore.isEmpty())
        m_app->write(QStringLiteral("known_hosts"), ownBefore);
    if (userFifo)
        QCOMPARE(::mkfifo(QFile::encodeName(m_files.user).constData(), 0600), 0);
    TrustRecorder trust;
    auto first = newClient(&trust);
    QCOMPARE(connect(*first), SftpResult::Connect::Connected);
    QCOMPARE(trust.questions.size(), 1);
    QCOMPARE(connect(*newClient(&trust)), SftpResult::Connect::Connected);
    QCOMPARE(trust.questions.size(), questions);
    if (ownFifo)
        return;
    const QByteArray own = m_app->read(QStringLiteral("known_hosts"));
    QVERIFY(!own.contains('\0'));
    const bool damaged = ownBefore.contains('\0');
    QCOMPARE(QFile::exists(m_files.own + QStringLiteral(".damaged")), damaged);
    if (damaged)
        QCOMPARE(m_app->read(QStringLiteral("known_hosts.damaged")), ownBefore);
    const HostKeyQuestion question = trust.questions.first();
    QCOMPARE(question.host, QStringLiteral("127.0.0.1"));
    QCOMPARE(question.port, m_server->port());
    QCOMPARE(question.keyType, m_server->hostKeyType());
    QCOMPARE(question.fingerprint, m_server->hostKeyFingerprint());
    QVERIFY(!question.changed);
    QVERIFY(own.contains(m_server->hostKeyType().toLatin1()));
}

void TestSftpClient::changedKeyIsAskedAndRefusalSendsNothing()
{
    TrustRecorder trust;
    QCOMPARE(connect(*newClient(&trust)), SftpResult::Connect::Connected);
    const QByteArray pinned = m_app->read(QStringLiteral("known_hosts"));
    QVERIFY(m_server->restartWithNewHostKey());
    const QString logBefore = m_server->log();

    trust.answer = false;
    auto refused = newClient(&trust);
    QCOMPARE(connect(*refused), SftpResult::Connect::HostKeyNotTrusted);
    QCOMPARE(trust.questions.size(), 2);
    QVERIFY(trust.questions.last().changed);
    QCOMPARE(trust.questions.last().fingerprint, m_server->hostKeyFingerprint());
    QCOMPARE(m_app->read(QStringLiteral("known_hosts")), pinned);
    QCOMPARE(refused->PutFile(m_app->write(QStringLiteral("p.html"), "page"), QString()),
             SftpResult::NotConnected);
    // No login was tried: sshd logs every accepted or failed one at this level.
    const QString logAfter = m_server->log().mid(logBefore.size());
    QVERIFY2(!logAfter.contains(QStringLiteral("Accepted")) &&
                 !logAfter.contains(QStringLiteral("Failed")),
             qPrintable(logAfter));

    auto unasked = newClient(); // no callback: a changed key is refused too
    QCOMPARE(connect(*unasked), SftpResult::Connect::HostKeyNotTrusted);

    trust.answer = true;
    QCOMPARE(connect(*newClient(&trust)), SftpResult::Connect::Connected);
    QCOMPARE(connect(*newClient(&trust)), SftpResult::Connect::Connected);
    QCOMPARE(trust.questions.size(), 3);
}

void TestSftpClient::keyPinnedBehindDamageIsRead_data()
{
    QTest::addColumn<QByteArray>("damage"); // put in front of the pinned key
    QTest::addColumn<bool>("userFile");     // the pin in the user's own file, only ever read
    QTest::newRow("NUL, ours") << QByteArray("x ssh-rsa \0A\n", 13) << false;
    QTest::newRow("NUL, the user's") << QByteArray("x ssh-rsa \0A\n", 13) << true;
    QTest::newRow("line without a key, ours") << QByteArray("garbage\n") << false;
}

// A pin after a line the library stops at is still a pin: the same key is known without a
// question, and a new key is shown as changed, not as merely unknown.
void TestSftpClient::keyPinnedBehindDamageIsRead()
{
    QFETCH(QByteArray, damage);
    QFETCH(bool, userFile);
    TrustRecorder trust;
    QCOMPARE(connect(*newClient(&trust)), SftpResult::Connect::Connected);
    const QString pinFile = userFile ? m_files.user : m_files.own;
    if (userFile)
        QVERIFY(QFile::rename(m_files.own, m_files.user));
    writeWholeFile(pinFile, damage + readWholeFile(pinFile));
    const QByteArray damaged = readWholeFile(pinFile);

    QCOMPARE(connect(*newClient(&trust)), SftpResult::Connect::Connected);
    QCOMPARE(trust.questions.size(), 1);
    QCOMPARE(readWholeFile(pinFile), damaged);

    QVERIFY(m_server->restartWithNewHostKey());
    trust.answer = false;
    QCOMPARE(connect(*newClient(&trust)), SftpResult::Connect::HostKeyNotTrusted);
    QCOMPARE(trust.questions.size(), 2);
    QVERIFY(trust.questions.last().changed);
}

void TestSftpClient::userKnownHostsIsOnlyRead()
{
    TrustRecorder trust;
    QCOMPARE(connect(*newClient(&trust)), SftpResult::Connect::Connected);
    QVERIFY(QFile::rename(m_files.own, m_files.user));
    const QByteArray userFile = m_app->read(QStringLiteral("user_known_hosts"));

    QCOMPARE(connect(*newClient(&trust)), SftpResult::Connect::Connected);
    QCOMPARE(trust.questions.size(), 1);
    QVERIFY(!QFile::exists(m_files.own));

    QVERIFY(m_server->restartWithNewHostKey());
    QCOMPARE(connect(*newClient(&trust)), SftpResult::Connect::Connected);
    QCOMPARE(trust.questions.size(), 2);
    QVERIFY(trust.questions.last().changed);
    QCOMPARE(m_app->read(QStringLiteral("user_known_hosts")), userFile);
    QVERIFY(QFile::exists(m_files.own));
}

void TestSftpClient::connectResults_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("config");   // sshd_config lines for this row's server
    QTest::addColumn<QString>("password"); // "*" for the right one
    QTest::addColumn<int>("result");

    const QString kbdint = QStringLiteral("UsePAM yes\nPasswordAuthentication no\n"
                                          "KbdInteractiveAuthentication yes\n");
    QTest::newRow("not sftp://") << "127.0.0.1"
                                 << ""
                                 << "*" << int(SftpResult::Connect::SocketNotOpened);
    QTest::newRow("nobody listening") << "sftp://127.0.0.1:1"
                                      << ""
                                      << "*" << int(SftpResult::Connect::SocketNotOpened);
    QTest::newRow("unknown host") << "sftp://no-such-host.invalid"
                                  << ""
                                  << "*" << int(SftpResult::Connect::SocketNotOpened);
    // Two characters that the log's own words hold ("SSH", "password"): masked all the same.
    QTest::newRow("wrong password") << ""
                                    << ""
                                    << "ss" << int(SftpResult::Connect::PasswordRefused);
    QTest::newRow("control character in password") << ""
                                                   << ""
                                                   << "pw\n"
                                                   << int(SftpResult::Connect::LoginUnsendable);
    QTest::newRow("keyboard-interactive through PAM")
        << "" << kbdint << "*" << int(SftpResult::Connect::Connected);
    QTest::newRow("keyboard-interactive, wrong password")
        << "" << kbdint << "ss" << int(SftpResult::Connect::PasswordRefused);
    QTest::newRow("no login method in common")
        << ""
        << "PasswordAuthentication no\nKbdInteractiveAuthentication no\n"
        << "*" << int(SftpResult::Connect::NoUsableLogin);
    QTest::newRow("no key exchange in common")
        << ""
        << "KexAlgorithms diffie-hellman-group1-sha1\n"
        << "*" << int(SftpResult::Connect::NoCommonAlgorithm);
}

void TestSftpClient::connectResults()
{
    QFETCH(QString, server);
    QFETCH(QString, config);
    QFETCH(QString, password);
    QFETCH(int, result);
    if (!m_server->logsInWithPassword() && server.isEmpty())
        QSKIP("password login needs a user of our own, which needs root");
    if (!config.isEmpty()) {
        m_server.reset(); // its user would stand in the way of the next server's
        SshServerOptions options;
        options.config = config;
        m_server.emplace(options);
        QVERIFY2(m_server->isRunning(), qPrintable(m_server->errorString()));
    }
    TrustRecorder trust;
    auto client = newClient(&trust);
    client->OpenLog(m_app->filePath(QStringLiteral("ftp.log")), 1);
    const QString target = server.isEmpty() ? m_server->serverString() : server;
    const QString secret = password == QLatin1String("*") ? m_server->password() : password;
    QCOMPARE(int(client->Connect(target, m_server->user(), secret)), result);
    QCOMPARE(client->Command(QStringLiteral("CWD .")), result == SftpResult::Connect::Connected
                                                           ? SftpResult::Command::Done
                                                           : SftpResult::NotConnected);
    client->CloseLog();
    const QByteArray log = m_app->read(QStringLiteral("ftp.log"));
    QVERIFY2(secret.isEmpty() || !log.contains(secret.toUtf8()), log.constData());
}

void TestSftpClient::keyLoginWithEmptyPassword()
{
    QVERIFY(m_server->startKeyAgent());
    TrustRecorder trust;
    auto client = newClient(&trust);
    QCOMPARE(client->Connect(m_server->serverString(), m_server->user(), QString()),
             SftpResult::Connect::Connected);
    QCOMPARE(client->Command(QStringLiteral("CWD .")), SftpResult::Command::Done);
}

void TestSftpClient::serverWithoutSftp()
{
    m_server.reset(); // its user would stand in the way of the second server's
    SshServerOptions options;
    options.withSftp = false;
    SshServer plain(options);
    QVERIFY2(plain.isRunning(), qPrintable(plain.errorString()));
    TrustRecorder trust;
    auto client = newClient(&trust);
    QCOMPARE(client->Connect(plain.serverString(), plain.user(), plain.password()),
             SftpResult::Connect::SubsystemRefused);
}

void TestSftpClient::stalledHandshakeEnds_data()
{
    QTest::addColumn<bool>("cancel");
    QTest::newRow("time-out") << false;
    QTest::newRow("cancel") << true;
}

// Nothing the client sends reaches the server, so only the time-out or the cancel ends it.
void TestSftpClient::stalledHandshakeEnds()
{
    QFETCH(bool, cancel);
    TcpRelay relay(m_server->port());
    relay.holdClientAfter(0);
    std::atomic_bool cancelFlag{cancel};
    auto client = newClient();
    client->setTimeout(cancel ? 10min : 300ms);
    client->setCancelFlag(&cancelFlag);
    QCOMPARE(connect(*client, relay.port()), SftpResult::Connect::TimedOut);
}

void TestSftpClient::publishCreatesDirectoriesAndStoresBytes()
{
    QVERIFY(m_server->makeRemoteDirectory(QStringLiteral("www")));
    const int descriptorsBefore = openDescriptors();
    TrustRecorder trust;
    auto client = newClient(&trust);
    QCOMPARE(connect(*client), SftpResult::Connect::Connected);

    const QByteArray year = patterned(3000);
    const QByteArray months = patterned(70 * 1024);
    const QByteArray days = QByteArray("<html>\r\n\x1a\0\xff", 12);
    const QByteArray day = patterned(3 * 1024 * 1024); // more writes than are sent at once
    QCOMPARE(client->Command(QStringLiteral("CWD www")), SftpResult::Command::Done);
    QCOMPARE(client->PutFile(m_app->write(QStringLiteral("year.html"), year), QString()), 1);
    QCOMPARE(client->Command(QStringLiteral("CWD 2024")), SftpResult::Command::Refused);
    QCOMPARE(client->Command(QStringLiteral("MKD 2024")), SftpResult::Command::Done);
    QCOMPARE(client->Command(QStringLiteral("MKD 2024")), SftpResult::Command::Refused);
    QCOMPARE(client->Command(QStringLiteral("CWD 2024")), SftpResult::Command::Done);
    QCOMPARE(client->PutFile(m_app->write(QStringLiteral("y/index.html"), months), QString()), 1);
    QCOMPARE(client->Command(QStringLiteral("mkd 05")), SftpResult::Command::Done);
    QCOMPARE(client->Command(QStringLiteral("cwd ") + m_server->homePath() + "/www/2024/05"),
             SftpResult::Command::Done);
    QCOMPARE(client->PutFile(m_app->write(QStringLiteral("m/index.html"), days), QString()), 1);
    QCOMPARE(client->PutFile(m_app->write(QStringLiteral("07.html"), day), QString()), 1);
    // A second send replaces the page in place.
    QCOMPARE(
        client->PutFile(m_app->write(QStringLiteral("other"), year), QStringLiteral("07.html")), 1);
    QCOMPARE(client->Command(QStringLiteral("CWD year.html")), SftpResult::Command::Refused);
    client->Close();
    QCOMPARE(openDescriptors(), descriptorsBefore); // the connection is really closed

    QCOMPARE(m_server->remoteFile(QStringLiteral("www/year.html")), year);
    QCOMPARE(m_server->remoteFile(QStringLiteral("www/2024/index.html")), months);
    QCOMPARE(m_server->remoteFile(QStringLiteral("www/2024/05/index.html")), days);
    QCOMPARE(m_server->remoteFile(QStringLiteral("www/2024/05/07.html")), year);
    const QStringList left =
        QDir(m_server->homePath() + "/www/2024/05").entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(left, QStringList({QStringLiteral("07.html"), QStringLiteral("index.html")}));
    QVERIFY(client->wireStats().commandsSent > 0);
}

void TestSftpClient::putFileFailures_data()
{
    QTest::addColumn<QString>("local"); // empty: a file that does not exist
    QTest::addColumn<QString>("remoteName");
    QTest::addColumn<QString>("directory");
    QTest::addColumn<int>("result");

    QTest::newRow("local file missing") << ""
                                        << ""
                                        << "." << int(SftpResult::PutFile::LocalFileMissing);
    QTest::newRow("slash in remote name") << "p.html"
                                          << "a/p.html"
                                          << "." << int(SftpResult::LineRefused);
    QTest::newRow("directory not writable") << "p.html"
                                            << ""
                                            << "locked" << int(SftpResult::ServerRefused);
    QTest::newRow("name taken by a directory") << "p.html"
                                               << "taken"
                                               << "." << int(SftpResult::ServerRefused);
}

void TestSftpClient::putFileFailures()
{
    QFETCH(QString, local);
    QFETCH(QString, remoteName);
    QFETCH(QString, directory);
    QFETCH(int, result);
    const QDir home(m_server->homePath());
    QVERIFY(m_server->makeRemoteDirectory(QStringLiteral("taken/inside")));
    home.mkdir(QStringLiteral("locked"));
    // Read-only for its owner, and owned by another user when the test runs as root.
    QFile::setPermissions(home.filePath(QStringLiteral("locked")),
                          QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    TrustRecorder trust;
    auto client = newClient(&trust);
    QCOMPARE(connect(*client), SftpResult::Connect::Connected);
    QCOMPARE(client->Command(QStringLiteral("CWD ") + directory), SftpResult::Command::Done);
    const QString path = local.isEmpty() ? m_app->filePath(QStringLiteral("missing.html"))
                                         : m_app->write(local, "page");
    QCOMPARE(int(client->PutFile(path, remoteName)), result);
    // Alone, and again between two pages sent with it: they are stored all the same.
    const QString back = directory == QLatin1String(".") ? QString() : QStringLiteral("..");
    const QString good = m_app->write(QStringLiteral("good.html"), "good");
    const QList<qint16> together = client->PutFiles(
        {{good, back, QStringLiteral("a.html")}, {path, {}, remoteName}, {good, back, {}}});
    QCOMPARE(together, QList<qint16>({1, qint16(result), 1}));
    QCOMPARE(m_server->remoteFile(QStringLiteral("a.html")), QByteArray("good"));
    QCOMPARE(m_server->remoteFile(QStringLiteral("good.html")), QByteArray("good"));
    const QStringList left = home.entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    QCOMPARE(left, QStringList({QStringLiteral("a.html"), QStringLiteral("good.html")}));
    QVERIFY(home.exists(QStringLiteral("taken/inside")));
    QCOMPARE(client->Command(QStringLiteral("CWD .")),
             SftpResult::Command::Done); // session goes on
}

// A server that breaks the protocol ends the session at once, and one that keeps sending
// what was not asked for cannot hold a request past its time-out.
void TestSftpClient::hostileServer_data()
{
    QTest::addColumn<QString>("mode"); // hostile_sftp.py's
    QTest::addColumn<int>("changed");  // "CWD ." first
    QTest::addColumn<int>("stored");   // then PutFile

    QTest::newRow("answers to ids never sent")
        << "stray" << int(SftpResult::Command::Done) << int(SftpResult::BadReply);
    QTest::newRow("an answer twice")
        << "twice" << int(SftpResult::Command::Done) << int(SftpResult::BadReply);
    QTest::newRow("an answer before its request")
        << "early" << int(SftpResult::BadReply) << int(SftpResult::NotConnected);
    QTest::newRow("a message trickling in, never whole")
        << "trickle" << int(SftpResult::Command::Done) << int(SftpResult::TimedOut);
    QTest::newRow("handle unreadable")
        << "badhandle" << int(SftpResult::Command::Done) << int(SftpResult::ServerRefused);
}

void TestSftpClient::hostileServer()
{
    QFETCH(QString, mode);
    QFETCH(int, changed);
    QFETCH(int, stored);
    SshServerOptions options;
    options.hostileSftp = {mode, QStringLiteral("journal")};
    m_server.emplace(options);
    QVERIFY2(m_server->isRunning(), qPrintable(m_server->errorString()));
    if (!m_server->logsInWithPassword())
        QSKIP("the peer's journal needs a user of our own, which needs root");
    TrustRecorder trust;
    auto client = newClient(&trust);
    client->setTimeout(2s);
    QCOMPARE(connect(*client), SftpResult::Connect::Connected);
    QCOMPARE(int(client->Command(QStringLiteral("CWD ."))), changed);
    QCOMPARE(int(client->PutFile(m_app->write(QStringLiteral("p.html"), "page"), QString())),
             stored);
    const QString journal = QString::fromUtf8(m_server->remoteFile(QStringLiteral("journal")));
    // A file the server made is removed, whatever became of its handle.
    QCOMPARE(
        journal.contains(QStringLiteral("REMOVE ") + sftpTemporaryName(QStringLiteral("p.html"))),
        stored == SftpResult::ServerRefused);
}

void TestSftpClient::pagesReplacedAllOrNone_data()
{
    QTest::addColumn<QString>("mode"); // hostile_sftp.py's
    QTest::addColumn<QList<qint16>>("results");
    QTest::addColumn<QStringList>("replaces"); // journal lines of the replacing, in order
    QTest::addColumn<bool>("notAtomic");       // the log says so

    const QString posix = QStringLiteral("EXTENDED posix-rename@openssh.com");
    QTest::newRow("sizes as written, posix-rename")
        << "none" << QList<qint16>{1, 1} << QStringList{posix, posix} << false;
    // The old page goes just before each rename.
    QTest::newRow("sizes as written, no posix-rename")
        << "oldrename" << QList<qint16>{1, 1}
        << QStringList{"REMOVE a.html", "RENAME .a.tmp", "REMOVE b.html", "RENAME .b.tmp"} << true;
    // Nothing replaced, both temporaries removed.
    QTest::newRow("half of each file held")
        << "short"
        << QList<qint16>{SftpResult::StoredDiffers, SftpResult::StoredDiffers}
        << QStringList{"REMOVE .a.tmp", "REMOVE .b.tmp"} << false;
}

// Files given temporary names are written there, their size asked before the close, and put
// in place only when the server holds every one whole.
void TestSftpClient::pagesReplacedAllOrNone()
{
    QFETCH(QString, mode);
    QFETCH(QList<qint16>, results);
    QFETCH(QStringList, replaces);
    QFETCH(bool, notAtomic);
    SshServerOptions options;
    options.hostileSftp = {mode, QStringLiteral("journal")};
    m_server.emplace(options);
    QVERIFY2(m_server->isRunning(), qPrintable(m_server->errorString()));
    if (!m_server->logsInWithPassword())
        QSKIP("the peer's journal needs a user of our own, which needs root");
    TrustRecorder trust;
    auto client = newClient(&trust);
    QCOMPARE(client->OpenLog(m_app->filePath(QStringLiteral("ftp.log")), 1), 0);
    QCOMPARE(connect(*client), SftpResult::Connect::Connected);
    const QString page = m_app->write(QStringLiteral("p.html"), patterned(100 * 1024));
    const QList<qint16> sent = client->PutFiles(
        {{page, {}, QStringLiteral("a.html"), QStringLiteral(".a.tmp")},
         {page, {}, QStringLiteral("b.html"), QStringLiteral(".b.tmp")}});
    QCOMPARE(sent, results);
    client->CloseLog();
    QStringList replacing;
    for (const QString &line :
         QString::fromUtf8(m_server->remoteFile(QStringLiteral("journal"))).split('\n')) {
        if (line.startsWith(QLatin1String("EXTENDED posix")) || line.startsWith(QLatin1String("RENAME")) ||
            line.startsWith(QLatin1String("REMOVE")))
            replacing.append(line.trimmed());
    }
    QCOMPARE(replacing, replaces);
    const QByteArray log = m_app->read(QStringLiteral("ftp.log"));
    QCOMPARE(log.contains("not atomic"), notAtomic);
    QVERIFY(log.contains("FSTAT"));
}

void TestSftpClient::startHeldTransfer(SftpClient &client, TcpRelay &relay,
                                       std::future<qint16> *result)
{
    QVERIFY(relay.isListening());
    QCOMPARE(connect(client, relay.port()), SftpResult::Connect::Connected);
    const QString big = m_app->write(QStringLiteral("07.html"), patterned(8 * 1024 * 1024));
    relay.holdClientAfter(1024 * 1024);
    *result =
        std::async(std::launch::async, [&client, big] { return client.PutFile(big, QString()); });
    QTRY_VERIFY_WITH_TIMEOUT(relay.isHolding(), 20000);
}

void TestSftpClient::droppedConnectionLeavesOldPageWhole()
{
    const QByteArray old = patterned(5000);
    QVERIFY(m_server->writeRemoteFile(QStringLiteral("07.html"), old));
    TcpRelay relay(m_server->port());
    TrustRecorder trust;
    auto client = newClient(&trust);
    std::future<qint16> result;
    startHeldTransfer(*client, relay, &result);
    QVERIFY(result.valid());
    m_server->killSessions();
    QCOMPARE(result.get(), SftpResult::TransferIncomplete);
    QCOMPARE(m_server->remoteFile(QStringLiteral("07.html")), old);
    QCOMPARE(client->Command(QStringLiteral("CWD .")), SftpResult::NotConnected);
}

void TestSftpClient::cancelEndsTransfer()
{
    std::atomic_bool cancel{false};
    TcpRelay relay(m_server->port());
    TrustRecorder trust;
    auto client = newClient(&trust);
    client->setTimeout(10min); // only the cancel can end the wait
    client->setCancelFlag(&cancel);
    std::future<qint16> result;
    startHeldTransfer(*client, relay, &result);
    QVERIFY(result.valid());
    cancel = true;
    QCOMPARE(result.get(), SftpResult::Cancelled);
    QVERIFY(!m_server->remoteExists(QStringLiteral("07.html")));
    QCOMPARE(client->Command(QStringLiteral("CWD .")), SftpResult::NotConnected);
}

void TestSftpClient::logHoldsStepsAndFingerprintNotPassword()
{
    if (!m_server->logsInWithPassword())
        QSKIP("password login needs a user of our own, which needs root");
    const QString logPath = m_app->filePath(QStringLiteral("ftp.log"));
    TrustRecorder trust;
    auto client = newClient(&trust);
    QCOMPARE(client->OpenLog(logPath, 1), 0);
    QCOMPARE(connect(*client), SftpResult::Connect::Connected);
    QCOMPARE(client->PutFile(m_app->write(QStringLiteral("year.html"), "y"), QString()), 1);
    client->Close();
    client->CloseLog();
    const QString log = QString::fromUtf8(m_app->read(QStringLiteral("ftp.log")));
    QVERIFY2(log.contains(m_server->hostKeyFingerprint()), qPrintable(log));
    QVERIFY(log.contains(QStringLiteral("authenticated")));
    QVERIFY(log.contains(QStringLiteral("RENAME")));
    QVERIFY(!log.contains(m_server->password()));
}

QTEST_GUILESS_MAIN(TestSftpClient)
#include "TestSftpClient.moc"
