// The FTP client against a real server (pyftpdlib): what must hold with a server that was
// not written for these tests.

#include "LatencyFtpRelay.h"
#include "PyFtpServer.h"
#include "TestAppDir.h"

#include "publish/ftp/FtpClient.h"
#include "publish/ftp/FtpResult.h"

#include <QDir>
#include <QTcpServer>
#include <QTest>

#include <optional>

using namespace Kakiva;
using namespace std::chrono_literals;

namespace {

bool hasIpv6Loopback()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHostIPv6, 0);
}

QByteArray everyByteValue()
{
    QByteArray bytes;
    for (int i = 0; i < 256; ++i)
        bytes.append(static_cast<char>(i));
    return bytes;
}

// What a text-mode transfer would change: line ends, lone CRs and LFs, the old EOF byte,
// NULs and bytes above 0x7f.
QByteArray textModeTraps()
{
    const char tail[] = {'\r',   '\n',   '\r',   '\n',   '\xff', '\xfe',
                         '\x80', '\x0d', '\x0a', '\x1a', '\0',   '\x0d'};
    return QByteArray("line one\r\nline two\nline three\rend\x1a") + QByteArray(5, '\0') +
           QByteArray(tail, sizeof tail);
}

QByteArray largePatterned()
{
    QByteArray bytes(300 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>((i * 7919 + (i >> 9)) & 0xff);
    return bytes;
}

} // namespace

class TestFtpClientReal : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void binaryFileArrivesByteForByte_data();
    void binaryFileArrivesByteForByte();
    void directoryCommands();
    void wrongPasswordRefused();
    void typicalPublish();
    void dataAheadOfStorIsSentAgain_data();
    void dataAheadOfStorIsSentAgain();

private:
    std::optional<TestAppDir> m_app;
};

void TestFtpClientReal::init()
{
    m_app.emplace();
}

void TestFtpClientReal::cleanup()
{
    m_app.reset();
}

void TestFtpClientReal::binaryFileArrivesByteForByte_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("listen");
    QTest::addColumn<QString>("server"); // %1 is the port

    const QString v4 = QStringLiteral("127.0.0.1");
    const QString v4Port = QStringLiteral("127.0.0.1:%1");
    QTest::newRow("every byte value") << everyByteValue() << v4 << v4Port;
    QTest::newRow("line ends, EOF byte, NULs, high bytes") << textModeTraps() << v4 << v4Port;
    QTest::newRow("empty file") << QByteArray() << v4 << v4Port;
    QTest::newRow("several chunks") << largePatterned() << v4 << v4Port;
    const QByteArray few("\x00\x01\x02\r\n", 5);
    QTest::newRow("server with blanks around") << few << v4 << " 127.0.0.1:%1 ";
    QTest::newRow("server as localhost and port") << few << v4 << "localhost:%1";
    QTest::newRow("server as IPv6 in brackets and port") << few << "::1"
                                                         << "[::1]:%1";
}

void TestFtpClientReal::binaryFileArrivesByteForByte()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, listen);
    QFETCH(QString, server);
    if (listen.contains(QLatin1Char(':')) && !hasIpv6Loopback())
        QSKIP("this machine has no IPv6 loopback");

    PyFtpServer ftp(listen);
    QVERIFY2(ftp.isRunning(), qPrintable(ftp.errorString()));
    const QString page = m_app->write(QStringLiteral("page.html"), bytes);

    FtpClient client;
    client.setTimeout(10s);
    QCOMPARE(client.Connect(server.arg(ftp.port()), ftp.user(), ftp.password()),
             FtpResult::Connect::Connected);
    QCOMPARE(client.PutFile(page, QString()), FtpResult::PutFile::Stored);
    client.Close();
    QCOMPARE(ftp.remoteFile(QStringLiteral("page.html")), bytes);
}

void TestFtpClientReal::directoryCommands()
{
    PyFtpServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
    QVERIFY(QDir(server.homePath()).mkdir(QStringLiteral("www")));
    const QString page = m_app->write(QStringLiteral("07.html"), "day page");

    FtpClient client;
    client.setTimeout(10s);
    QCOMPARE(client.Connect(server.serverString(), server.user(), server.password()),
             FtpResult::Connect::Connected);
    QCOMPARE(client.Command(QStringLiteral("CWD www")), 2);
    QCOMPARE(client.Command(QStringLiteral("CWD 2024")), 5);
    QCOMPARE(client.Command(QStringLiteral("MKD 2024")), 2);
    QCOMPARE(client.Command(QStringLiteral("MKD 2024")), 5);
    QCOMPARE(client.Command(QStringLiteral("CWD 2024")), 2);
    QCOMPARE(client.PutFile(page, QString()), FtpResult::PutFile::Stored);
    client.Close();
    QCOMPARE(server.remoteFile(QStringLiteral("www/2024/07.html")), QByteArray("day page"));
}

void TestFtpClientReal::wrongPasswordRefused()
{
    PyFtpServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
    FtpClient client;
    client.setTimeout(10s);
    QCOMPARE(client.Connect(server.serverString(), server.user(), QStringLiteral("wrong")),
             FtpResult::Connect::PasswordRefused);
    QCOMPARE(client.Connect(server.serverString(), QStringLiteral("nobody"), server.password()),
             FtpResult::Connect::PasswordRefused);
    QCOMPARE(client.Connect(server.serverString(), server.user(), server.password()),
             FtpResult::Connect::Connected);
}

// The four pages of a date whose year and month exist, as the upload sends them.
void TestFtpClientReal::typicalPublish()
{
    PyFtpServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
    QVERIFY(QDir(server.homePath()).mkpath(QStringLiteral("diary/2024/05")));
    const QString yearList = m_app->write(QStringLiteral("HTML/year.html"), "years");
    const QString monthList = m_app->write(QStringLiteral("HTML/2024/index.html"), "months");
    const QString dayList = m_app->write(QStringLiteral("HTML/2024/05/index.html"), "days");
    const QString dayPage = m_app->write(QStringLiteral("HTML/2024/05/07.html"), "day");

    FtpClient client;
    client.setTimeout(10s);
    QCOMPARE(client.Connect(server.serverString(), server.user(), server.password()),
             FtpResult::Connect::Connected);
    QCOMPARE(client.Command(QStringLiteral("CWD diary")), 2);
    QCOMPARE(client.PutFile(yearList, QString()), FtpResult::PutFile::Stored);
    QCOMPARE(client.Command(QStringLiteral("CWD 2024")), 2);
    QCOMPARE(client.PutFile(monthList, QString()), FtpResult::PutFile::Stored);
    QCOMPARE(client.Command(QStringLiteral("CWD 05")), 2);
    QCOMPARE(client.PutFile(dayList, QString()), FtpResult::PutFile::Stored);
    QCOMPARE(client.PutFile(dayPage, QString()), FtpResult::PutFile::Stored);
    client.Close();

    QCOMPARE(server.remoteFile(QStringLiteral("diary/year.html")), QByteArray("years"));
    QCOMPARE(server.remoteFile(QStringLiteral("diary/2024/index.html")), QByteArray("months"));
    QCOMPARE(server.remoteFile(QStringLiteral("diary/2024/05/index.html")), QByteArray("days"));
    QCOMPARE(server.remoteFile(QStringLiteral("diary/2024/05/07.html")), QByteArray("day"));
    QTRY_COMPARE(server.commands().value(server.commands().size() - 1), QStringLiteral("QUIT"));
    QCOMPARE(server.commands(),
             (QStringList{"USER diarist", "PASS pw-4-tests", "CWD diary", "TYPE I", "EPSV",
                          "STOR year.html", "CWD 2024", "EPSV", "STOR index.html", "CWD 05", "EPSV",
                          "STOR index.html", "EPSV", "STOR 07.html", "QUIT"}));

    // The counts agree with the server's log, and a file whose data follows its STOR at once
    // costs one wait, not two: one wait per command, plus the greeting, minus the QUIT.
    const WireStats stats = client.wireStats();
    QCOMPARE(stats.commandsSent, server.commands().size());
    QCOMPARE(stats.roundTrips, stats.commandsSent);
}

void TestFtpClientReal::dataAheadOfStorIsSentAgain_data()
{
    QTest::addColumn<QByteArray>("first");

    // Out before the server resets the data connection: only the half-closed connection
    // shows the reset.
    QTest::newRow("small page") << QByteArray(5000, 'p');
    // Larger than the socket buffers: the reset stops the sending.
    QTest::newRow("file of several MiB") << largePatterned().repeated(12);
}

// pyftpdlib resets a data connection that delivers bytes before it has taken the STOR, then
// answers the STOR with 150 and waits for another data connection. The client must notice,
// get the conversation back in step and send the file again in the classic order, which it
// keeps for the next file.
void TestFtpClientReal::dataAheadOfStorIsSentAgain()
{
    QFETCH(QByteArray, first);
    PyFtpServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
    LatencyFtpRelay relay(server.port(), 150ms, LatencyFtpRelay::Held::Commands);
    QVERIFY(relay.isListening());
    const QByteArray second = everyByteValue().repeated(40);
    const QString a = m_app->write(QStringLiteral("a.html"), first);
    const QString b = m_app->write(QStringLiteral("b.html"), second);

    FtpClient client;
    client.setTimeout(10s);
    QCOMPARE(client.Connect(relay.serverString(), server.user(), server.password()),
             FtpResult::Connect::Connected);
    QCOMPARE(client.PutFile(a, QString()), FtpResult::PutFile::Stored);
    QCOMPARE(client.PutFile(b, QString()), FtpResult::PutFile::Stored);
    QCOMPARE(client.Command(QStringLiteral("NOOP")), 2);

    QCOMPARE(server.remoteFile(QStringLiteral("a.html")), first);
    QCOMPARE(server.remoteFile(QStringLiteral("b.html")), second);
    QCOMPARE(server.commands().mid(2), (QStringList{"TYPE I", "EPSV", "STOR a.html", "NOOP", "EPSV",
                                                    "STOR a.html", "EPSV", "STOR b.html", "NOOP"}));
    QCOMPARE(client.wireStats().storesResent, 1);
}

QTEST_GUILESS_MAIN(TestFtpClientReal)
#include "TestFtpClientReal.moc"
