// The FTP client against a scripted server, one group per kind of fault, and the
// classification of socket errors.

#include "ScriptedFtpServer.h"
#include "TestAppDir.h"

#include "publish/client/SessionLog.h"
#include "publish/ftp/FtpClient.h"
#include "publish/ftp/FtpReplyParser.h"
#include "publish/ftp/FtpResult.h"

#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <atomic>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

using namespace Kakiva;
using namespace std::chrono_literals;

// Replies by verb; "GREETING" and "TRANSFER-END" name the greeting and the reply after a
// stored file's last byte.
using Script = QHash<QByteArray, ScriptedReply>;
Q_DECLARE_METATYPE(ScriptedReply)
Q_DECLARE_METATYPE(Script)

namespace {

const QString User = QStringLiteral("diarist");
const QString Password = QStringLiteral("secret-pw");
constexpr int CancelTriggerMs = 10000;
// Larger than what the loopback socket buffers of both ends hold together, so that a
// server that stops reading leaves the client with bytes it cannot send.
constexpr qsizetype BeyondSocketBuffers = 16 * 1024 * 1024;

void applyScript(ScriptedFtpServer &server, const Script &script)
{
    for (auto it = script.begin(); it != script.end(); ++it) {
        if (it.key() == "GREETING")
            server.setGreeting(it.value());
        else if (it.key() == "TRANSFER-END")
            server.script().setTransferReply(it.value());
        else
            server.setReply(it.key(), it.value());
    }
}

ScriptedReply text(const QByteArray &bytes)
{
    return ScriptedReply::text(bytes);
}

// Every command after USER and PASS.
QList<QByteArray> afterLogin(const QList<QByteArray> &commands)
{
    return commands.mid(2);
}

QByteArray patternedBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + i / 251) & 0xff);
    return bytes;
}

// A loopback port whose accept queue is full: the kernel leaves a new connection's SYN
// unanswered, so connecting neither succeeds nor fails.
class UnansweredPort
{
public:
    UnansweredPort()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        m_server.pauseAccepting();
        for (int i = 0; i < MaxFillers; ++i) {
            auto filler = std::make_unique<QTcpSocket>();
            filler->connectToHost(QHostAddress::LocalHost, m_server.serverPort());
            const bool connected = filler->waitForConnected(FillerWaitMs);
            m_fillers.push_back(std::move(filler));
            if (!connected) {
                m_full = true;
                return;
            }
        }
    }
    bool isFull() const { return m_full; }
    QString serverString() const
    {
        return QStringLiteral("127.0.0.1:%1").arg(m_server.serverPort());
    }

private:
    static constexpr int MaxFillers = 300;
    static constexpr int FillerWaitMs = 200;
    QTcpServer m_server;
    std::vector<std::unique_ptr<QTcpSocket>> m_fillers;
    bool m_full = false;
};

} // namespace

class TestFtpClient : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void socketErrorResults_data();
    void socketErrorResults();

    void connectOutcome_data();
    void connectOutcome();
    void connectCannotOpenSocket_data();
    void connectCannotOpenSocket();
    void connectTimesOut_data();
    void connectTimesOut();
    void connectingEndsByTimeoutOrCancel_data();
    void connectingEndsByTimeoutOrCancel();
    void credentialsWithControlCharactersAreNotSent_data();
    void credentialsWithControlCharactersAreNotSent();

    void repliesInAnyShape_data();
    void repliesInAnyShape();
    void serviceClosing_data();
    void serviceClosing();
    void overlongReply_data();
    void overlongReply();

    void storeRefused_data();
    void storeRefused();
    void refusalOfOneFileLeavesTheOthers();
    void dataConnectionDroppedMidFile();
    void dataResetBeforeStorIsSentAgain_data();
    void dataResetBeforeStorIsSentAgain();
    void dataConnectionComplaintResendsOnce_data();
    void dataConnectionComplaintResendsOnce();
    void passiveReplyNamingAnotherHostIsIgnored();
    void passiveModeChosenOnce_data();
    void passiveModeChosenOnce();
    void fileStoredUnderTheNameGiven();
    void localFileProblemsSendNothing_data();
    void localFileProblemsSendNothing();
    void refusedRemovalAsksWhetherTheFileIsThere_data();
    void refusedRemovalAsksWhetherTheFileIsThere();

    void lineWithControlCharacterNotSent_data();
    void lineWithControlCharacterNotSent();
    void callsWithoutSession();

    void callEndsByTimeoutOrCancel_data();
    void callEndsByTimeoutOrCancel();
    void closeSaysQuitDestructorDoesNot();

    void logHasOneStampedLinePerCommandAndReply();
    void passwordNeverLogged();
    void logRotation_data();
    void logRotation();
    void unwritableLogDoesNotFailUpload_data();
    void unwritableLogDoesNotFailUpload();

private:
    qint16 connectTo(FtpClient &client, const ScriptedFtpServer &server);
    QString prepareStallable(ScriptedFtpServer &server, const Script &script, bool stall);

    std::optional<TestAppDir> m_app;
};

void TestFtpClient::init()
{
    m_app.emplace();
}

void TestFtpClient::cleanup()
{
    m_app.reset();
}

// Scripts the server, stalls its data connection when asked, and writes a page large enough
// that a stalled transfer cannot end inside the socket buffers.
QString TestFtpClient::prepareStallable(ScriptedFtpServer &server, const Script &script, bool stall)
{
    applyScript(server, script);
    if (stall)
        server.script().setTransfer(ScriptedFtpScript::Transfer::Stall);
    return m_app->write(QStringLiteral("page.html"),
                        patternedBytes(stall ? BeyondSocketBuffers : 100));
}

qint16 TestFtpClient::connectTo(FtpClient &client, const ScriptedFtpServer &server)
{
    return client.Connect(server.serverString(), User, Password);
}

// --- socket errors --------------------------------------------------------------------

void TestFtpClient::socketErrorResults_data()
{
    QTest::addColumn<QAbstractSocket::SocketError>("error");
    QTest::addColumn<int>("result");

    QTest::newRow("refused") << QAbstractSocket::ConnectionRefusedError << 10000;
    QTest::newRow("closed by peer") << QAbstractSocket::RemoteHostClosedError << 10001;
    QTest::newRow("access") << QAbstractSocket::SocketAccessError << 10003;
    QTest::newRow("network") << QAbstractSocket::NetworkError << 10007;
    QTest::newRow("unsupported") << QAbstractSocket::UnsupportedSocketOperationError << 10010;
    QTest::newRow("operation") << QAbstractSocket::OperationError << 10019;
    QTest::newRow("unknown, kept in the socket error range")
        << QAbstractSocket::UnknownSocketError << 32767;
}

void TestFtpClient::socketErrorResults()
{
    QFETCH(QAbstractSocket::SocketError, error);
    QFETCH(int, result);
    QCOMPARE(int(FtpResult::Connect::socketErrorResult(error)), result);
}

// --- connecting -----------------------------------------------------------------------

void TestFtpClient::connectOutcome_data()
{
    QTest::addColumn<Script>("script");
    QTest::addColumn<int>("result");
    QTest::addColumn<QList<QByteArray>>("commands");

    const QByteArray user = "USER " + User.toUtf8();
    const QByteArray pass = "PASS " + Password.toUtf8();
    const QList<QByteArray> both{user, pass};
    const QList<QByteArray> none;

    QTest::newRow("220, 331, 230") << Script{} << 0 << both;
    QTest::newRow("120 before 220")
        << Script{{"GREETING", text("120 In a moment\r\n220 Ready\r\n")}} << 0 << both;
    QTest::newRow("230 after USER, no password asked")
        << Script{{"USER", text("230 Welcome\r\n")}} << 0 << QList<QByteArray>{user};
    QTest::newRow("202 after PASS") << Script{{"PASS", text("202 Not needed\r\n")}} << 0 << both;
    QTest::newRow("greeting 500") << Script{{"GREETING", text("500 Go away\r\n")}} << 1 << none;
    QTest::newRow("greeting not FTP")
        << Script{{"GREETING", text("SSH-2.0-OpenSSH_9.2\r\n")}} << 1 << none;
    QTest::newRow("greeting overlong")
        << Script{{"GREETING", text("220 " + QByteArray(9000, 'w') + "\r\n")}} << 1 << none;
    QTest::newRow("greeting 421") << Script{{"GREETING",
                                             ScriptedReply::closing("421 Too many users\r\n")}}
                                  << 5 << none;
    QTest::newRow("closed before greeting")
        << Script{{"GREETING", ScriptedReply::closing()}} << 5 << none;
    QTest::newRow("USER 530") << Script{{"USER", text("530 Not allowed\r\n")}} << 2
                              << QList<QByteArray>{user};
    QTest::newRow("USER 421") << Script{{"USER", ScriptedReply::closing("421 Bye\r\n")}} << 5
                              << QList<QByteArray>{user};
    QTest::newRow("USER 332 account wanted")
        << Script{{"USER", text("332 Need account\r\n")}} << 4 << QList<QByteArray>{user};
    QTest::newRow("USER 200") << Script{{"USER", text("200 Odd\r\n")}} << 4
                              << QList<QByteArray>{user};
    QTest::newRow("USER answered with no reply")
        << Script{{"USER", text("hello there\r\n")}} << 4 << QList<QByteArray>{user};
    QTest::newRow("closed after USER")
        << Script{{"USER", ScriptedReply::closing()}} << 5 << QList<QByteArray>{user};
    QTest::newRow("PASS 530") << Script{{"PASS", text("530 Login incorrect\r\n")}} << 3 << both;
    QTest::newRow("PASS 421") << Script{{"PASS", ScriptedReply::closing("421 Bye\r\n")}} << 5
                              << both;
    QTest::newRow("PASS 332 account wanted")
        << Script{{"PASS", text("332 Need account\r\n")}} << 4 << both;
    QTest::newRow("PASS 200") << Script{{"PASS", text("200 Odd\r\n")}} << 4 << both;
}

void TestFtpClient::connectOutcome()
{
    QFETCH(Script, script);
    QFETCH(int, result);
    QFETCH(QList<QByteArray>, commands);

    ScriptedFtpServer server;
    QVERIFY(server.isListening());
    applyScript(server, script);
    FtpClient client;
    client.setTimeout(5s);
    QCOMPARE(int(connectTo(client, server)), result);
    QCOMPARE(server.commands(), commands);
    // A failed Connect leaves no session behind.
    QCOMPARE(int(client.Command(QStringLiteral("NOOP"))),
             result == 0 ? 2 : int(FtpResult::NotConnected));
}

void TestFtpClient::connectCannotOpenSocket_data()
{
    QTest::addColumn<QString>("server");

    QTest::newRow("refused port") << QStringLiteral("127.0.0.1:%1").arg(refusedLoopbackPort());
    QTest::newRow("refused IPv4 through a name")
        << QStringLiteral("localhost:%1").arg(refusedLoopbackPort());
    // Which forms parse is TestFtpServerAddress's; here, what one that does not gives.
    QTest::newRow("empty") << QString();
    QTest::newRow("blank in host") << QStringLiteral("local host");
}

void TestFtpClient::connectCannotOpenSocket()
{
    QFETCH(QString, server);
    FtpClient client;
    client.setTimeout(5s);
    QCOMPARE(client.Connect(server, User, Password), FtpResult::Connect::SocketNotOpened);
}

void TestFtpClient::connectTimesOut_data()
{
    QTest::addColumn<Script>("script");

    QTest::newRow("no greeting") << Script{{"GREETING", ScriptedReply::silence()}};
    QTest::newRow("greeting never finished")
        << Script{{"GREETING", ScriptedReply::split({"220 Rea"})}};
    QTest::newRow("no answer to USER") << Script{{"USER", ScriptedReply::silence()}};
    QTest::newRow("no answer to PASS") << Script{{"PASS", ScriptedReply::silence()}};
}

void TestFtpClient::connectTimesOut()
{
    QFETCH(Script, script);
    ScriptedFtpServer server;
    applyScript(server, script);
    FtpClient client;
    client.setTimeout(300ms);
    QCOMPARE(connectTo(client, server), FtpResult::Connect::TimedOut);
}

void TestFtpClient::connectingEndsByTimeoutOrCancel_data()
{
    QTest::addColumn<bool>("cancelling");
    QTest::newRow("time-out") << false;
    QTest::newRow("cancel flag") << true;
}

// The connection itself is never answered; the log tells this from a silent greeting.
void TestFtpClient::connectingEndsByTimeoutOrCancel()
{
    QFETCH(bool, cancelling);
    UnansweredPort port;
    if (!port.isFull())
        QSKIP("the accept queue of a loopback listener could not be filled here");
    const QString logPath = m_app->filePath(QStringLiteral("ftp.log"));
    std::atomic_bool cancel = false;
    FtpClient client;
    client.OpenLog(logPath, 1);
    client.setCancelFlag(&cancel);
    client.setTimeout(cancelling ? std::chrono::milliseconds(std::chrono::hours(1)) : 300ms);
    std::thread canceller([&] {
        if (cancelling) {
            // Nothing on the server side marks the moment; any moment during the call will do.
            std::this_thread::sleep_for(100ms);
            cancel = true;
        }
    });
    const qint16 result = client.Connect(port.serverString(), User, Password);
    canceller.join();
    QCOMPARE(result, FtpResult::Connect::TimedOut);
    const QByteArray log = readWholeFile(logPath);
    QVERIFY2(log.contains(cancelling ? "cancelled while connecting" : "time-out while connecting"),
             log.constData());
}

void TestFtpClient::credentialsWithControlCharactersAreNotSent_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("result");

    // Which characters count is the table of lineWithControlCharacterNotSent (one check
    // serves every line); here, each field's own result, and that nothing went out.
    QTest::newRow("CR LF in the user name")
        << QStringLiteral("diarist\r\nDELE index.html") << Password << 2;
    QTest::newRow("LF in the password") << User << QStringLiteral("pw\nSITE EXEC x") << 3;
}

void TestFtpClient::credentialsWithControlCharactersAreNotSent()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(int, result);

    ScriptedFtpServer server;
    FtpClient client;
    QCOMPARE(int(client.Connect(server.serverString(), user, password)), result);
    // A proper login afterwards: once it is through, anything the refused one had sent
    // would have been recorded before it.
    QCOMPARE(connectTo(client, server), FtpResult::Connect::Connected);
    QCOMPARE(server.script().connections(), 1);
    QCOMPARE(server.commands(),
             (QList<QByteArray>{"USER " + User.toUtf8(), "PASS " + Password.toUtf8()}));
}

// --- replies of every shape -----------------------------------------------------------

void TestFtpClient::repliesInAnyShape_data()
{
    QTest::addColumn<Script>("script");

    // The shapes themselves are the parser's (TestFtpReplyParser); here, that every reply
    // reaches it whole, however the segments fall, and is taken only once.
    QTest::newRow("multi-line greeting")
        << Script{{"GREETING", text("220-Welcome\r\n220-Second line\r\n220 Ready\r\n")}};
    QTest::newRow("multi-line split across segments")
        << Script{{"GREETING", ScriptedReply::split({"220-Wel", "come\r\n220", " Ready\r\n"})}};
    QTest::newRow("bare LF throughout") << Script{{"GREETING", text("220 Ready\n")},
                                                  {"USER", text("331 Password\n")},
                                                  {"PASS", text("230 In\n")},
                                                  {"CWD", text("250 Changed\n")},
                                                  {"NOOP", text("200 Fine\n")}};
    QTest::newRow("CWD reply split")
        << Script{{"CWD", ScriptedReply::split({"25", "0 Changed", "\r\n"})}};
}

// Each reply is taken whole and only once: the command after it gets its own answer.
void TestFtpClient::repliesInAnyShape()
{
    QFETCH(Script, script);
    ScriptedFtpServer server;
    applyScript(server, script);
    FtpClient client;
    client.setTimeout(5s);
    QCOMPARE(connectTo(client, server), FtpResult::Connect::Connected);
    QCOMPARE(client.Command(QStringLiteral("CWD /")), 2);
    QCOMPARE(client.Command(QStringLiteral("NOOP")), 2);
    QCOMPARE(client.Command(QStringLiteral("MKD /")), 5);
    QCOMPARE(afterLogin(server.commands()), (QList<QByteArray>{"CWD /", "NOOP", "MKD /"}));
}

void TestFtpClient::serviceClosing_data()
{
    QTest::addColumn<QByteArray>("verb");
    QTest::addColumn<ScriptedReply>("reply");
    QTest::addColumn<QString>("call"); // "command" or "put"
    QTest::addColumn<int>("result");

    QTest::newRow("421 answers CWD")
        << QByteArray("CWD") << ScriptedReply::closing("421 Shutting down\r\n") << "command" << 4;
    QTest::newRow("421 without closing the connection")
        << QByteArray("CWD") << text("421 Shutting down\r\n") << "command" << 4;
    QTest::newRow("421 right after a reply")
        << QByteArray("CWD") << text("250 Changed\r\n421 Idle too long\r\n") << "command" << 2;
    QTest::newRow("421 answers EPSV")
        << QByteArray("EPSV") << ScriptedReply::closing("421 Bye\r\n") << "put" << -421;
    QTest::newRow("421 answers STOR")
        << QByteArray("STOR") << ScriptedReply::closing("421 Bye\r\n") << "put" << -421;
    QTest::newRow("421 ends the transfer")
        << QByteArray("TRANSFER-END") << ScriptedReply::closing("421 Bye\r\n") << "put" << -421;
}

// After a 421 the session is over: the next call is not sent.
void TestFtpClient::serviceClosing()
{
    QFETCH(QByteArray, verb);
    QFETCH(ScriptedReply, reply);
    QFETCH(QString, call);
    QFETCH(int, result);

    ScriptedFtpServer server;
    applyScript(server, Script{{verb, reply}});
    const QString page = m_app->write(QStringLiteral("page.html"), "<html></html>");
    FtpClient client;
    client.setTimeout(5s);
    QCOMPARE(connectTo(client, server), FtpResult::Connect::Connected);
    const qint16 got = call == QLatin1String("put") ? client.PutFile(page, QString())
                                                    : client.Command(QStringLiteral("CWD /"));
    QCOMPARE(int(got), result);
    QCOMPARE(client.Command(QStringLiteral("NOOP")), FtpResult::NotConnected);
    QVERIFY(!server.commands().contains("NOOP"));
}

void TestFtpClient::overlongReply_data()
{
    QTest::addColumn<ScriptedReply>("reply");

    QByteArray endless = "250-Listing\r\n";
    for (int i = 0; i < FtpReplyParser::MaxLines + 10; ++i)
        endless += "more\r\n";
    // With or without its end, an overlong line is the parser's LineTooLong.
    QTest::newRow("line without end past the bound") << text("250 " + QByteArray(9000, 'x'));
    QTest::newRow("reply that never ends") << text(endless);
}

// The bound ends the read at once (no waiting for the time-out) and ends the session.
void TestFtpClient::overlongReply()
{
    QFETCH(ScriptedReply, reply);
    ScriptedFtpServer server;
    server.setReply("CWD", reply);
    FtpClient client;
    client.setTimeout(60s);
    QCOMPARE(connectTo(client, server), FtpResult::Connect::Connected);
    QCOMPARE(client.Command(QStringLiteral("CWD /")), FtpResult::BadReply);
    QCOMPARE(client.Command(QStringLiteral("NOOP")), FtpResult::NotConnected);
}

// --- transfers ------------------------------------------------------------------------

void TestFtpClient::storeRefused_data()
{
    QTest::addColumn<Script>("script");
    QTest::addColumn<qsizetype>("size");
    QTest::addColumn<int>("result");

    QTest::newRow("550 instead of 150")
        << Script{{"STOR", text("550 Permission denied\r\n")}} << qsizetype(5000) << -550;
    QTest::newRow("553 after a split 150")
        << Script{{"STOR", ScriptedReply::split({"150 Ok", "\r\n553 Name not allowed\r\n"})}}
        << qsizetype(5000) << -553;
    QTest::newRow("550 to a large file")
        << Script{{"STOR", text("550 Permission denied\r\n")}} << BeyondSocketBuffers << -550;
    QTest::newRow("451 after the transfer")
        << Script{{"TRANSFER-END", text("451 Local error\r\n")}} << qsizetype(5000) << -451;
    QTest::newRow("226 before the last byte")
        << Script{{"STOR", text("150 Ok\r\n226 Done already\r\n")}} << BeyondSocketBuffers
        << int(FtpResult::TransferIncomplete);
}

// Sending the data before the server's 150 must never turn a refusal into success.
void TestFtpClient::storeRefused()
{
    QFETCH(Script, script);
    QFETCH(qsizetype, size);
    QFETCH(int, result);

    ScriptedFtpServer server;
    applyScript(server, script);
    const QString page = m_app->write(QStringLiteral("page.html"), patternedBytes(size));
    FtpClient client;
    client.setTimeout(10s);
    QCOMPARE(connectTo(client, server), FtpResult::Connect::Connected);
    QCOMPARE(int(client.PutFile(page, QString())), result);
    // The session is still usable: the refusal was read in its turn.
    QCOMPARE(client.Command(QStringLiteral("NOOP")), 2);
}

void TestFtpClient::refusedRemovalAsksWhetherTheFileIsThere_data()
{
    QTest::addColumn<Script>("script");
    QTest::addColumn<int>("result");
    QTest::addColumn<QList<QByteArray>>("asked"); // after DELE

    const ScriptedReply refused = text("550 Permission denied\r\n");
    const ScriptedReply missing = text("550 No such file or directory\r\n");
    const ScriptedReply notOffered = text("502 Command not implemented\r\n");
    const QList<QByteArray> size{"TYPE I", "SIZE 17.html"};
    const QList<QByteArray> mlst = size + QList<QByteArray>{"MLST 17.html"};
    const QList<QByteArray> stat = mlst + QList<QByteArray>{"STAT 17.html"};

    QTest::newRow("removed") << Script{{"DELE", text("250 Deleted\r\n")}}
                             << int(FtpResult::RemoveFile::Removed) << QList<QByteArray>{};
    QTest::newRow("refused, SIZE says it is there")
        << Script{{"DELE", refused}, {"SIZE", text("213 512\r\n")}} << -550 << size;
    QTest::newRow("550, SIZE says it is gone")
        << Script{{"DELE", missing}, {"SIZE", missing}} << int(FtpResult::RemoveFile::NotThere)
        << size;
    QTest::newRow("refused, no SIZE, MLST says it is there")
        << Script{{"DELE", refused},
                  {"SIZE", notOffered},
                  {"MLST", text("250-Listing 17.html\r\n type=file;size=512; 17.html\r\n"
                                "250 End\r\n")}}
        << -550 << mlst;
    QTest::newRow("550, no SIZE, MLST says it is gone")
        << Script{{"DELE", missing}, {"SIZE", notOffered}, {"MLST", missing}}
        << int(FtpResult::RemoveFile::NotThere) << mlst;
    QTest::newRow("refused, only a listing, which holds it")
        << Script{{"DELE", refused},
                  {"SIZE", notOffered},
                  {"MLST", text("500 Unknown command\r\n")},
                  {"STAT", text("213-Status follows:\r\n"
                                "-rw-r--r--    1 0 0  512 Aug 17  2004 17.html\r\n"
                                "213 End of status\r\n")}}
        << -550 << stat;
    QTest::newRow("550, only a listing, which lacks it")
        << Script{{"DELE", missing},
                  {"SIZE", notOffered},
                  {"MLST", notOffered},
                  {"STAT", text("213-Status follows:\r\n213 End of status\r\n")}}
        << int(FtpResult::RemoveFile::NotThere) << stat;
    QTest::newRow("550, a listing of a file whose name ends the same")
        << Script{{"DELE", missing},
                  {"SIZE", notOffered},
                  {"MLST", notOffered},
                  {"STAT", text("213-Status follows:\r\n"
                                "-rw-r--r--    1 0 0  512 Aug 17  2004 x17.html\r\n"
                                "213 End of status\r\n")}}
        << int(FtpResult::RemoveFile::NotThere) << stat;
    QTest::newRow("550, no way to tell: kept")
        << Script{{"DELE", missing}, {"SIZE", notOffered}, {"MLST", notOffered},
                  {"STAT", notOffered}}
        << -550 << stat;
    QTest::newRow("550, binary type refused: kept")
        << Script{{"DELE", missing}, {"TYPE", text("504 Not here\r\n")}} << -550
        << QList<QByteArray>{"TYPE I"};
}

// A 550 to DELE counts as "already gone" only when the server says the file is not there;
// vsftpd answers 550 for a file it will not remove just as for a missing one.
void TestFtpClient::refusedRemovalAsksWhetherTheFileIsThere()
{
    QFETCH(Script, script);
    QFETCH(int, result);
    QFETCH(QList<QByteArray>, asked);

    ScriptedFtpServer server;
    applyScript(server, script);
    FtpClient client;
    client.setTimeout(10s);
    QCOMPARE(connectTo(client, server), FtpResult::Connect::Connected);
    QCOMPARE(int(client.RemoveFile(QStringLiteral("17.html"))), result);
    QCOMPARE(client.Command(QStringLiteral("NOOP")), 2);
    const QList<QByteArray> commands = afterLogin(server.commands());
    QCOMPARE(commands.mid(1, commands.size() - 2), asked);
}

void TestFtpClient::refusalOfOneFileLeavesTheOthers()
{
    ScriptedFtpServer server;
    server.queueReply("STOR", ScriptedReply::asUsual());
    server.queueReply("STOR", text("552 Quota exceeded\r\n"));
    const QString a = m_app->write(QStringLiteral("a.html"), "first");
    const QString b = m_app->write(QStringLiteral("b.html"), "second");
    const QString c = m_app->write(QStringLiteral("c.html"), "third");
    FtpClient client;
    client.setTimeout(5s);
    QCOMPARE(connectTo(client, server), FtpResult::Connect::Connected);
    QCOMPARE(client.PutFile(a, QString()), FtpResult::PutFile::Stored);
    QCOMPARE(client.PutFile(b, QString()), -552);
    QCOMPARE(client.PutFile(c, QString()), FtpResult::PutFile::Stored);
    QCOMPARE(server.script().files().keys(), (QStringList{"/a.html", "/c.html"}));
}

void TestFtpClient::dataConnectionDroppedMidFile()
{
    ScriptedFtpServer server;
    server.script().setTransfer(ScriptedFtpScript::Transfer::DropAfter, 64 * 1024);
    const QString page = m_app->write(QStringLiteral("page.html"), patternedBytes(1024 * 1024));
    FtpClient client;
    client.setTimeout(10s);
    QCOMPARE(connectTo(client, server), FtpResult::Connect::Connected);
    QCOMPARE(client.PutFile(page, QString()), -426);
    QVERIFY(!server.hasFile(QStringLiteral("/page.html")));
    QCOMPARE(client.Command(QStringLiteral("NOOP")), 2);
}

void TestFtpClient::dataResetBeforeStorIsSentAgain_data()
{
    QTest::addColumn<qsizetype>("size");

    // All out before the reset: only the half-closed connection shows it.
    QTest::newRow("small page") << qsizetype(5000);
    // The reset stops the sending half-way.
    QTest::newRow("beyond the socket buffers") << BeyondSocketBuffers;
}

// The server resets a data connection whose bytes came before it had taken STOR and leaves the
// STOR at 150. The client must not wait for a final reply that never comes: a NOOP brings the
// conversation back in step, the file goes again in the classic order, and so does the next.
void TestFtpClient::dataResetBeforeStorIsSentAgain()
{
    QFETCH(qsizetype, size);

    ScriptedFtpServer server;
    server.script().setEarlyData(ScriptedFtpScript::EarlyData::Reset);
    const QByteArray first = patternedBytes(size);
    const QString a = m_app->write(QStringLiteral("a.html"), first);
    const QString b = m_app->write(QStringLiteral("b.html"), "second");
    FtpClient client;
    client.setTimeout(10s);
    QCOMPARE(connectTo(client, server), FtpResult::Connect::Connected);
    QCOMPARE(client.PutFile(a, QString()), FtpResult::PutFile::Stored);
    const WireStats beforeB = client.wireStats();
    QCOMPARE(client.PutFile(b, QString()), FtpResult::PutFile::Stored);

    QCOMPARE(server.file(QStringLiteral("/a.html")), first);
    QCOMPARE(server.file(QStringLiteral("/b.html")), QByteArray("second"));
    QCOMPARE(afterLogin(server.commands()),
             (QList<QByteArray>{"TYPE I", "EPSV", "STOR a.html", "NOOP", "EPSV", "STOR a.html",
                                "EPSV", "STOR b.html"}));
    // Had b gone ahead of its STOR, it would have been reset too.
    QCOMPARE(server.script().earlyDataDrops(), 1);
    const WireStats afterB = client.wireStats();
    QCOMPARE(afterB.storesResent, 1);
    QVERIFY(client.fellBackToClassic()); // for the caller to record
    // In the classic order a file costs EPSV, STOR and the wait for the transfer's end.
    QCOMPARE(afterB.commandsSent - beforeB.commandsSent, 2);
    QCOMPARE(afterB.roundTrips - beforeB.roundTrips, 3);
}

void TestFtpClient::dataConnectionComplaintResendsOnce_data()
{
    QTest::addColumn<QList<QByteArray>>("storReplies"); // the first STORs' replies, in turn
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("stores");
    QTest::addColumn<int>("resent");

    const QByteArray cannotOpen = "425 Cannot open data connection\r\n";
    const QByteArray aborted = "426 Connection closed; transfer aborted\r\n";
    QTest::newRow("425, then stored") << QList<QByteArray>{cannotOpen} << 1 << 3 << 1;
    QTest::newRow("426, then stored") << QList<QByteArray>{aborted} << 1 << 3 << 1;
    QTest::newRow("426 to the second try too")
        << QList<QByteArray>{aborted, aborted} << -426 << 3 << 1;
    QTest::newRow("550 is not about data")
        << QList<QByteArray>{"550 Permission denied\r\n"} << -550 << 2 << 0;
}

// A 425 or 426 to a STOR whose data went ahead may mean the server dropped that data: the
// file goes once more in the classic order, and the next file too. Other refusals stand.
void TestFtpClient::dataConnectionComplaintResendsOnce()
{
    QFETCH(QList<QByteArray>, storReplies);
    QFETCH(int, result);
    QFETCH(int, stores);
    QFETCH(int, resent);

    ScriptedFtpServer server;
    for (const QByteArray &reply : storReplies)
        server.queueReply("STOR", text(reply));
    const QByteArray first = patternedBytes(30000);
    const QString a = m_app->write(QStringLiteral("a.html"), first);
    const QString b = m_app->write(QStringLiteral("b.html"), "second");
    FtpClient client;
    client.setTimeout(10s);
    QCOMPARE(connectTo(client, server), FtpResult::Connect::Connected);
    QCOMPARE(int(client.PutFile(a, QString())), result);
    QCOMPARE(client.PutFile(b, QString()), FtpResult::PutFile::Stored);

    QCOMPARE(server.commands().count("STOR a.html") + server.commands().count("STOR b.html"),
             stores);
    QCOMPARE(client.wireStats().storesResent, resent);
    QCOMPARE(server.file(QStringLiteral("/a.html")), result == 1 ? first : QByteArray());
    QCOMPARE(server.file(QStringLiteral("/b.html")), QByteArray("second"));
    QCOMPARE(client.Command(QStringLiteral("NOOP")), 2);
}

// The PASV reply names 127.0.0.2, where nothing listens: only a client that ignores the
// named host and uses the control connection's peer (127.0.0.1) gets the file across.
void TestFtpClient::passiveReplyNamingAnotherHostIsIgnored()
{
    ScriptedFtpServer server;
    server.setReply("EPSV", text("500 Unknown command\r\n"));
    server.script().setPasvHost("127,0,0,2");
    const QByteArray bytes = patternedBytes(20000);
    const QString page = m_app->write(QStringLiteral("page.html"), bytes);
    FtpClient client;
    client.setTimeout(5s);
    QCOMPARE(connectTo(client, server), FtpResult::Connect::Connected);
    QCOMPARE(client.PutFile(page, QString()), FtpResult::PutFile::Stored);
    QCOMPARE(server.file(QStringLiteral("/page.html")), bytes);
    QVERIFY(server.commands().contains("PASV"));
    QCOMPARE(server.script().dataPeers(), QList<QHostAddress>{QHostAddress::LocalHost});
}

void TestFtpClient::passiveModeChosenOnce_data()
{
    QTest::addColumn<Script>("script");
    QTest::addColumn<QList<QByteArray>>("commands");

    QTest::newRow("EPSV known") << Script{}
                                << QList<QByteArray>{"TYPE I", "EPSV", "STOR a.html", "EPSV",
                                                     "STOR b.html"};
    QTest::newRow("EPSV unknown (500)")
        << Script{{"EPSV", text("500 Unknown command\r\n")}}
        << QList<QByteArray>{"TYPE I", "EPSV", "PASV", "STOR a.html", "PASV", "STOR b.html"};
    QTest::newRow("EPSV not implemented (502)")
        << Script{{"EPSV", text("502 Not implemented\r\n")}}
        << QList<QByteArray>{"TYPE I", "EPSV", "PASV", "STOR a.html", "PASV", "STOR b.html"};
}

// TYPE I once per session, EPSV tried once, PASV kept once EPSV was refused.
void TestFtpClient::passiveModeChosenOnce()
{
    QFETCH(Script, script);
    QFETCH(QList<QByteArray>, commands);

    ScriptedFtpServer server;
    applyScript(server, script);
    const QString a = m_app->write(QStringLiteral("a.html"), "first");
    const QString b = m_app->write(QStringLiteral("b.html"), "second");
    FtpClient client;
    client.setTimeout(5s);
    QCOMPARE(connectTo(client, server), FtpResult::Connect::Connected);
    QCOMPARE(client.PutFile(a, QString()), FtpResult::PutFile::Stored);
    QCOMPARE(client.PutFile(b, QString()), FtpResult::PutFile::Stored);
    QCOMPARE(afterLogin(server.commands()), commands);
    QCOMPARE(server.file(QStringLiteral("/a.html")), QByteArray("first"));
    QCOMPARE(server.file(QStringLiteral("/b.html")), QByteArray("second"));
}

// Without a name, the local file's own name is used: every other PutFile here shows it.
void TestFtpClient::fileStoredUnderTheNameGiven()
{
    ScriptedFtpServer server;
    const QString page = m_app->write(QStringLiteral("HTML/2024/05/07.html"), "day");
    FtpClient client;
    QCOMPARE(connectTo(client, server), FtpResult::Connect::Connected);
    QCOMPARE(client.PutFile(page, QStringLiteral("other.html")), FtpResult::PutFile::Stored);
    QCOMPARE(server.script().files().keys(), QStringList{"/other.html"});
}

void TestFtpClient::localFileProblemsSendNothing_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("result");

    QTest::newRow("missing file") << QStringLiteral("HTML/2024/05/31.html") << 0;
    QTest::newRow("missing directory") << QStringLiteral("nowhere/index.html") << 0;
    QTest::newRow("a directory, not a file") << QStringLiteral("HTML") << -7;
}

// Nothing about the transfer may reach the server: a STOR would truncate the remote copy.
void TestFtpClient::localFileProblemsSendNothing()
{
    QFETCH(QString, name);
    QFETCH(int, result);

    ScriptedFtpServer server;
    m_app->write(QStringLiteral("HTML/year.html"), "years");
    FtpClient client;
    QCOMPARE(connectTo(client, server), FtpResult::Connect::Connected);
    QCOMPARE(int(client.PutFile(m_app->filePath(name), QString())), result);
    QCOMPARE(client.Command(QStringLiteral("NOOP")), 2);
    QCOMPARE(afterLogin(server.commands()), QList<QByteArray>{"NOOP"});
}

// --- command injection ----------------------------------------------------------------

void TestFtpClient::lineWithControlCharacterNotSent_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("asRemoteName"); // the STOR line PutFile would send

    QTest::newRow("CR LF and a second command")
        << QStringLiteral("CWD a\r\nDELE index.html") << false;
    QTest::newRow("bare LF") << QStringLiteral("CWD a\nDELE index.html") << false;
    QTest::newRow("bare CR") << QStringLiteral("CWD a\rDELE index.html") << false;
    QTest::newRow("NUL") << QStringLiteral("CWD a") + QChar(0) + QStringLiteral("b") << false;
    QTest::newRow("escape") << QStringLiteral("CWD \x1b[31m") << false;
    QTest::newRow("DEL") << QStringLiteral("CWD a\x7f") << false;
    QTest::newRow("tab") << QStringLiteral("CWD a\tb") << false;
    QTest::newRow("C1 next line") << QStringLiteral("CWD a") + QChar(0x85) + QStringLiteral("b")
                                  << false;
    QTest::newRow("empty line") << QString() << false;
    QTest::newRow("CR LF in a remote name") << QStringLiteral("a.html\r\nDELE b.html") << true;
}

void TestFtpClient::lineWithControlCharacterNotSent()
{
    QFETCH(QString, line);
    QFETCH(bool, asRemoteName);
    ScriptedFtpServer server;
    const QString page = m_app->write(QStringLiteral("page.html"), "x");
    FtpClient client;
    QCOMPARE(connectTo(client, server), FtpResult::Connect::Connected);
    QCOMPARE(asRemoteName ? client.PutFile(page, line) : client.Command(line),
             FtpResult::LineRefused);
    QCOMPARE(client.Command(QStringLiteral("NOOP")), 2);
    QCOMPARE(afterLogin(server.commands()), QList<QByteArray>{"NOOP"});
}

void TestFtpClient::callsWithoutSession()
{
    const QString page = m_app->write(QStringLiteral("page.html"), "x");
    FtpClient client;
    QCOMPARE(client.Command(QStringLiteral("NOOP")), FtpResult::NotConnected);
    QCOMPARE(client.PutFile(page, QString()), FtpResult::NotConnected);
    QCOMPARE(client.PutFile(m_app->filePath(QStringLiteral("none.html")), QString()),
             FtpResult::PutFile::LocalFileMissing);
    client.Close();
    QCOMPARE(
        client.Connect(QStringLiteral("127.0.0.1:%1").arg(refusedLoopbackPort()), User, Password),
        FtpResult::Connect::SocketNotOpened);
    QCOMPARE(client.Command(QStringLiteral("NOOP")), FtpResult::NotConnected);
    QCOMPARE(client.wireStats().commandsSent, 0);
}

// --- time-outs and cancelling ---------------------------------------------------------

void TestFtpClient::callEndsByTimeoutOrCancel_data()
{
    QTest::addColumn<Script>("script");
    QTest::addColumn<bool>("stall");
    QTest::addColumn<QString>("call");
    // Null: the time-out ends the call. Otherwise the cancel flag does, once the server saw
    // this command ("" once it is connected).
    QTest::addColumn<QByteArray>("cancelAt");
    QTest::addColumn<int>("result");

    const QByteArray timeout;
    const int timedOut = FtpResult::TimedOut;
    QTest::newRow("time-out, no answer to a command")
        << Script{{"CWD", ScriptedReply::silence()}} << false << "command" << timeout << timedOut;
    QTest::newRow("time-out, no answer to EPSV")
        << Script{{"EPSV", ScriptedReply::silence()}} << false << "put" << timeout << timedOut;
    QTest::newRow("time-out, no reply after the last byte")
        << Script{{"TRANSFER-END", ScriptedReply::silence()}} << false << "put" << timeout
        << timedOut;
    QTest::newRow("time-out, data connection stalls")
        << Script{} << true << "put" << timeout << timedOut;
    QTest::newRow("cancel Connect, no greeting") << Script{{"GREETING", ScriptedReply::silence()}}
                                                 << false << "connect" << QByteArray("") << -2;
    QTest::newRow("cancel Command, no answer") << Script{{"CWD", ScriptedReply::silence()}} << false
                                               << "command" << QByteArray("CWD") << -3;
    QTest::newRow("cancel PutFile, data connection stalls")
        << Script{} << true << "put" << QByteArray("STOR") << -3;
    QTest::newRow("cancel PutFile, no reply after the last byte")
        << Script{{"TRANSFER-END", ScriptedReply::silence()}} << false << "put"
        << QByteArray("STOR") << -3;
}

// When cancelling, the time-out lies far beyond the test's own limit: only the flag can end
// the call.
void TestFtpClient::callEndsByTimeoutOrCancel()
{
    QFETCH(Script, script);
    QFETCH(bool, stall);
    QFETCH(QString, call);
    QFETCH(QByteArray, cancelAt);
    QFETCH(int, result);

    const bool cancelling = !cancelAt.isNull();
    ScriptedFtpServer server;
    const QString page = prepareStallable(server, script, stall);
    std::atomic_bool cancel = false;
    FtpClient client;
    client.setCancelFlag(&cancel);
    if (call != QLatin1String("connect"))
        QCOMPARE(connectTo(client, server), FtpResult::Connect::Connected);
    client.setTimeout(cancelling ? std::chrono::milliseconds(std::chrono::hours(1)) : 300ms);

    std::thread canceller([&] {
        if (!cancelling)
            return;
        if (cancelAt.isEmpty())
            server.script().waitForConnections(1, CancelTriggerMs);
        else
            server.script().waitForCommand(cancelAt, CancelTriggerMs);
        cancel = true;
    });
    qint16 got = 0;
    if (call == QLatin1String("connect"))
        got = connectTo(client, server);
    else if (call == QLatin1String("command"))
        got = client.Command(QStringLiteral("CWD /"));
    else
        got = client.PutFile(page, QString());
    canceller.join();
    QCOMPARE(int(got), result);
    // A late answer can no longer be mistaken for the next one: the session is gone.
    if (!cancelling)
        QCOMPARE(client.Command(QStringLiteral("NOOP")), FtpResult::NotConnected);
}

void TestFtpClient::closeSaysQuitDestructorDoesNot()
{
    ScriptedFtpServer server;
    {
        FtpClient dropped;
        QCOMPARE(connectTo(dropped, server), FtpResult::Connect::Connected);
    }
    {
        FtpClient closed;
        QCOMPARE(connectTo(closed, server), FtpResult::Connect::Connected);
        closed.Close();
        QCOMPARE(closed.Command(QStringLiteral("NOOP")), FtpResult::NotConnected);
    }
    QTRY_COMPARE(server.script().disconnections(), 2);
    QCOMPARE(server.commands().count("QUIT"), 1);
    QCOMPARE(server.commands().last(), QByteArray("QUIT"));
}

// --- log ------------------------------------------------------------------------------

void TestFtpClient::logHasOneStampedLinePerCommandAndReply()
{
    ScriptedFtpServer server;
    server.setReply("NOOP", text("200-Multi\r\n200 line\r\n"));
    const QString logPath = m_app->filePath(QStringLiteral("ftp.log"));
    FtpClient client;
    QCOMPARE(client.OpenLog(logPath, 1), 0);
    QCOMPARE(connectTo(client, server), FtpResult::Connect::Connected);
    QCOMPARE(client.Command(QStringLiteral("NOOP")), 2);
    client.CloseLog();
    QCOMPARE(client.Command(QStringLiteral("NOOP")), 2); // not logged any more

    const QStringList lines =
        QString::fromUtf8(readWholeFile(logPath)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    static const QRegularExpression stamped(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3} [<>*] \\S"));
    for (const QString &line : lines)
        QVERIFY2(stamped.match(line).hasMatch(), qPrintable(line));
    QStringList sent;
    for (const QString &line : lines.filter(QStringLiteral(" > ")))
        sent.append(line.section(QLatin1Char(' '), 2));
    QCOMPARE(sent, (QStringList{"USER diarist", "PASS ****", "NOOP"}));
    QCOMPARE(lines.filter(QStringLiteral(" < ")).size(), 4); // greeting, USER, PASS, NOOP
    QCOMPARE(lines.filter(QStringLiteral(" < 200-Multi | 200 line")).size(), 1);
}

void TestFtpClient::passwordNeverLogged()
{
    const QString password = QStringLiteral("Very-Secret-7");
    ScriptedFtpServer server;
    server.queueReply("PASS", text("530 Login incorrect for Very-Secret-7\r\n"));
    const QString logPath = m_app->filePath(QStringLiteral("ftp.log"));
    FtpClient client;
    client.OpenLog(logPath, 1);
    QCOMPARE(client.Connect(server.serverString(), User, password),
             FtpResult::Connect::PasswordRefused);
    QCOMPARE(client.Connect(server.serverString(), User, password), FtpResult::Connect::Connected);
    QCOMPARE(client.Command(QStringLiteral("PASS ") + password), 2);
    client.Close();
    client.CloseLog();

    QVERIFY(server.commands().contains("PASS " + password.toUtf8()));
    const QByteArray log = readWholeFile(logPath);
    QVERIFY(!log.contains(password.toUtf8()));
    QCOMPARE(log.count("> PASS ****"), 3);
    QVERIFY(log.contains("< 530 Login incorrect for ****"));
}

void TestFtpClient::logRotation_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("rotatedBefore");
    QTest::addColumn<bool>("rotates");

    const QByteArray full = QByteArray(SessionLog::RotateSize - 10, 'o') + '\n';
    QTest::newRow("small log grows") << QByteArray("old line\n") << QByteArray() << false;
    QTest::newRow("full log is rotated") << full << QByteArray() << true;
    QTest::newRow("older rotation replaced") << full << QByteArray("older\n") << true;
}

void TestFtpClient::logRotation()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, rotatedBefore);
    QFETCH(bool, rotates);

    const QString logPath = m_app->filePath(QStringLiteral("ftp.log"));
    const QString rotatedPath = logPath + QStringLiteral(".1");
    writeWholeFile(logPath, before);
    if (!rotatedBefore.isEmpty())
        writeWholeFile(rotatedPath, rotatedBefore);

    ScriptedFtpServer server;
    FtpClient client;
    client.OpenLog(logPath, 1);
    QCOMPARE(connectTo(client, server), FtpResult::Connect::Connected);
    client.Close();
    client.CloseLog();

    const QByteArray log = readWholeFile(logPath);
    QVERIFY(log.contains("> USER diarist"));
    QVERIFY(log.size() <= SessionLog::RotateSize);
    QCOMPARE(log.startsWith(before), !rotates);
    if (rotates)
        QCOMPARE(readWholeFile(rotatedPath), before);
    else
        QCOMPARE(QFile::exists(rotatedPath), !rotatedBefore.isEmpty());
}

void TestFtpClient::unwritableLogDoesNotFailUpload_data()
{
    QTest::addColumn<QString>("logName");

    QTest::newRow("directory missing") << QStringLiteral("no/such/dir/ftp.log");
    QTest::newRow("path is a directory") << QStringLiteral("HTML");
}

void TestFtpClient::unwritableLogDoesNotFailUpload()
{
    QFETCH(QString, logName);
    const QString page = m_app->write(QStringLiteral("HTML/year.html"), "years");
    ScriptedFtpServer server;
    FtpClient client;
    QCOMPARE(client.OpenLog(m_app->filePath(logName), 1), -1);
    QCOMPARE(connectTo(client, server), FtpResult::Connect::Connected);
    QCOMPARE(client.PutFile(page, QString()), FtpResult::PutFile::Stored);
    client.Close();
    client.CloseLog();
    QCOMPARE(server.file(QStringLiteral("/year.html")), QByteArray("years"));
}

QTEST_GUILESS_MAIN(TestFtpClient)
#include "TestFtpClient.moc"
