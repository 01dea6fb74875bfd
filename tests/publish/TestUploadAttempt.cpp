// One upload attempt against a scripted server, without a window: for each state of the
// remote tree and each fault, the status texts in the order they are shown, the commands the
// server received, how the attempt ended and what arrived.

#include "ScriptedFtpServer.h"
#include "SshServer.h"
#include "TestAppDir.h"

#include "diary/EntryStore.h"
#include "pages/PageGenerator.h"
#include "pages/PagePaths.h"
#include "publish/BulkPublish.h"
#include "publish/ftp/FtpClient.h"
#include "publish/PublishClientFactory.h"
#include "publish/ServerRecord.h"
#include "publish/SiteInventory.h"
#include "publish/UploadAttempt.h"
#include "publish/UploadStatus.h"
#include "settings/SettingsFile.h"

#include <QFile>
#include <QTest>

#include <algorithm>
#include <optional>

using namespace Kakiva;
using namespace std::chrono_literals;
using Result = UploadAttempt::Result;

namespace {

const QString Year = QStringLiteral("2024");
const QString Month = QStringLiteral("05");
const QString Day = QStringLiteral("07");

enum class Fault
{
    None,
    Greeting500,
    UserRefused,
    PasswordRefused,
    Greeting421,
    RefusedPort,
    SilentGreeting,
    UnreachableAddress,
    RemoteDirectoryMissing,
    MakeDirectoryFails,
    StoreRefused,
    PageMissing,
    DataConnectionDropped,
    ServiceClosingMidSession,
    SilentAfterLogin,
};

// What the upload itself asks of a server: the login, directory changes and files, without
// the FTP client's own set-up around each transfer.
QList<QByteArray> uploadCommands(const QList<QByteArray> &commands)
{
    static const QList<QByteArray> verbs{"USER ", "PASS ", "CWD ", "MKD ", "STOR "};
    QList<QByteArray> kept;
    for (const QByteArray &line : commands) {
        if (std::any_of(verbs.begin(), verbs.end(),
                        [&](const QByteArray &verb) { return line.startsWith(verb); }))
            kept.append(line);
    }
    return kept;
}

} // namespace

Q_DECLARE_METATYPE(Fault)
Q_DECLARE_METATYPE(Result)
Q_DECLARE_METATYPE(ScriptedFtpScript::EarlyData)

class TestUploadAttempt : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void statusesAndCommands_data();
    void statusesAndCommands();
    void droppedEarlyDataTurnsClassic_data();
    void droppedEarlyDataTurnsClassic();
    void sftpDestination_data();
    void sftpDestination();

private:
    void writeSettings(const QString &server, const QString &directory);
    void applyFault(Fault fault, ScriptedFtpServer &server);

    std::optional<TestAppDir> m_app;
};

void TestUploadAttempt::init()
{
    m_app.emplace();
    // Another day of the month, so the lists hold more than the day sent.
    for (const QString &day : {QStringLiteral("03"), Day}) {
        QString error;
        QVERIFY2(DiaryWrite(Year, Month, day, QStringLiteral("晴れ"), &error) == 0,
                 qPrintable(error));
        QVERIFY2(HtmlMake(Year, Month, day, &error) == 0, qPrintable(error));
    }
}

void TestUploadAttempt::cleanup()
{
    m_app.reset();
}

void TestUploadAttempt::writeSettings(const QString &server, const QString &directory)
{
    QString error;
    for (const auto &[key, value] :
         {std::pair{ServerKey, server}, std::pair{NameKey, QStringLiteral("diarist")},
          std::pair{PasswordKey, QStringLiteral("secret")}, std::pair{DirectoryKey, directory}})
        QVERIFY2(IniWrite(FtpSection, key, value, &error), qPrintable(error));
}

void TestUploadAttempt::applyFault(Fault fault, ScriptedFtpServer &server)
{
    const auto text = ScriptedReply::text;
    switch (fault) {
    case Fault::None:
        break;
    case Fault::Greeting500:
        server.setGreeting(text("500 Go away\r\n"));
        break;
    case Fault::UserRefused:
        server.setReply("USER", text("530 Not allowed\r\n"));
        break;
    case Fault::PasswordRefused:
        server.setReply("PASS", text("530 Login incorrect\r\n"));
        break;
    case Fault::Greeting421:
        server.setGreeting(ScriptedReply::closing("421 Too many users\r\n"));
        break;
    case Fault::RefusedPort:
        writeSettings(QStringLiteral("127.0.0.1:%1").arg(refusedLoopbackPort()),
                      QStringLiteral("www"));
        break;
    case Fault::SilentGreeting:
        server.setGreeting(ScriptedReply::silence());
        break;
    case Fault::UnreachableAddress:
        // The system refuses a TCP connection to the broadcast address as unreachable.
        writeSettings(QStringLiteral("255.255.255.255:21"), QStringLiteral("www"));
        break;
    case Fault::RemoteDirectoryMissing:
        server.queueReply("CWD", text("550 No such directory\r\n"));
        break;
    case Fault::MakeDirectoryFails:
        server.setReply("MKD", text("550 Permission denied\r\n"));
        break;
    case Fault::StoreRefused:
        server.queueReply("STOR", text("553 Not allowed\r\n"));
        break;
    case Fault::PageMissing:
        QVERIFY(QFile::remove(dayListPath(Year, Month)));
        break;
    case Fault::DataConnectionDropped: {
        // A day page of several hundred KiB, cut off after its first 64 KiB.
        QString error;
        QVERIFY(DiaryWrite(Year, Month, Day, QString(150 * 1024, QChar(0x65e5)), &error) == 0);
        QVERIFY(HtmlMake(Year, Month, Day, &error) == 0);
        server.script().setTransfer(ScriptedFtpScript::Transfer::DropAfter, 64 * 1024);
        break;
    }
    case Fault::ServiceClosingMidSession:
        server.queueReply("CWD", ScriptedReply::asUsual());
        server.queueReply("CWD", ScriptedReply::closing("421 Service not available\r\n"));
        break;
    case Fault::SilentAfterLogin:
        server.queueReply("CWD", ScriptedReply::silence());
        break;
    }
}

void TestUploadAttempt::statusesAndCommands_data()
{
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QStringList>("onServer"); // remote directories made before
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QStringList>("statuses");
    QTest::addColumn<QList<QByteArray>>("commands");
    QTest::addColumn<Result>("result");

    const QString connected = UploadStatus::Connected;
    const QString moved = UploadStatus::DirectoryChanged;
    // "アップ成功" only once the last page is confirmed: closing on seeing it would cancel
    // the rest, so the pages before it leave "アップロード中" standing.
    const QString page = UploadStatus::Uploading;
    const QString sent = UploadStatus::Sent;
    const QString error = UploadStatus::Error;
    using Commands = QList<QByteArray>;
    const Commands login{"USER diarist", "PASS secret"};
    const auto make = [](const QByteArray &name) {
        return Commands{"CWD " + name, "MKD " + name, "CWD " + name};
    };
    const Commands yearList = login + Commands{"CWD www", "STOR year.html"};
    const Commands monthList = yearList + Commands{"CWD 2024", "STOR index.html"};
    const Commands dayPages{"STOR index.html", "STOR 07.html"};
    const QStringList full{connected, moved, page, moved, page, moved, page, sent};
    const QStringList existing{"/www", "/www/2024", "/www/2024/05"};

    QTest::newRow("year and month exist")
        << "www" << existing << Fault::None << full << monthList + Commands{"CWD 05"} + dayPages
        << Result::Succeeded;
    // The day list follows the month list without a "directory changed" in between.
    QTest::newRow("new month") << "www" << QStringList{"/www", "/www/2024"} << Fault::None
                               << QStringList{connected, moved, page, moved, page, page, sent}
                               << monthList + make("05") + dayPages << Result::Succeeded;
    QTest::newRow("new year") << "www" << QStringList{"/www"} << Fault::None
                              << QStringList{connected, moved, page, page, page, sent}
                              << yearList + make("2024") + Commands{"STOR index.html"} +
                                     make("05") + dayPages
                              << Result::Succeeded;
    QTest::newRow("nested remote directory")
        << "sites/diary" << QStringList{"/sites", "/sites/diary", "/sites/diary/2024"}
        << Fault::None << QStringList{connected, moved, page, moved, page, page, sent}
        << login + Commands{"CWD sites/diary", "STOR year.html", "CWD 2024", "STOR index.html"} +
               make("05") + dayPages
        << Result::Succeeded;
    // No directory set: the login directory itself, with no "CWD " to get there.
    QTest::newRow("login directory")
        << "" << QStringList{} << Fault::None << QStringList{connected, page, page, page, sent}
        << login + Commands{"STOR year.html"} + make("2024") + Commands{"STOR index.html"} +
               make("05") + dayPages
        << Result::Succeeded;

    QTest::newRow("Connect 1: greeting refused")
        << "www" << existing << Fault::Greeting500 << QStringList{UploadStatus::ConnectError}
        << Commands{} << Result::Failed;
    QTest::newRow("Connect 2: user refused")
        << "www" << existing << Fault::UserRefused << QStringList{UploadStatus::ConnectError}
        << Commands{"USER diarist"} << Result::Failed;
    QTest::newRow("Connect 3: password refused")
        << "www" << existing << Fault::PasswordRefused << QStringList{UploadStatus::ConnectError}
        << login << Result::Failed;
    QTest::newRow("Connect 5: 421 instead of a greeting")
        << "www" << existing << Fault::Greeting421 << QStringList{UploadStatus::ConnectError}
        << Commands{} << Result::Failed;
    QTest::newRow("Connect -1: refused port")
        << "www" << existing << Fault::RefusedPort << QStringList{UploadStatus::SocketOpenError}
        << Commands{} << Result::Failed;
    QTest::newRow("Connect -2: silent server")
        << "www" << existing << Fault::SilentGreeting << QStringList{UploadStatus::TimedOut}
        << Commands{} << Result::Failed;
    QTest::newRow("Connect 10000 and more: network unreachable")
        << "www" << existing << Fault::UnreachableAddress << QStringList{UploadStatus::WinsockError}
        << Commands{} << Result::Failed;
    QTest::newRow("remote directory cannot be entered")
        << "www" << existing << Fault::RemoteDirectoryMissing << QStringList{connected, error}
        << login + Commands{"CWD www"} << Result::Failed;
    // Sending the day list anyway would overwrite the year's month list.
    QTest::newRow("month directory can be neither entered nor made")
        << "www" << QStringList{"/www", "/www/2024"} << Fault::MakeDirectoryFails
        << QStringList{connected, moved, page, moved, page, error} << monthList + make("05")
        << Result::Failed;
    QTest::newRow("STOR refused") << "www" << existing << Fault::StoreRefused
                                  << QStringList{connected, moved, error} << yearList
                                  << Result::Failed;
    QTest::newRow("day list missing locally")
        << "www" << existing << Fault::PageMissing
        << QStringList{connected, moved, page, moved, page, moved, UploadStatus::NoSuchFile}
        << monthList + Commands{"CWD 05"} << Result::Failed;
    // A 426 may mean the server dropped data that came ahead of the STOR: the client sends
    // that page once more, in the classic order, before the failure stands.
    QTest::newRow("data connection dropped mid-file")
        << "www" << existing << Fault::DataConnectionDropped
        << QStringList{connected, moved, page, moved, page, moved, page, error}
        << monthList + Commands{"CWD 05"} + dayPages + Commands{"STOR 07.html"} << Result::Failed;
    QTest::newRow("421 mid-session") << "www" << existing << Fault::ServiceClosingMidSession
                                     << QStringList{connected, moved, page, error}
                                     << yearList + Commands{"CWD 2024"} << Result::Failed;
    QTest::newRow("silent server after login")
        << "www" << existing << Fault::SilentAfterLogin << QStringList{connected, error}
        << login + Commands{"CWD www"} << Result::Failed;
}

void TestUploadAttempt::statusesAndCommands()
{
    QFETCH(QString, directory);
    QFETCH(QStringList, onServer);
    QFETCH(Fault, fault);
    QFETCH(QStringList, statuses);
    QFETCH(QList<QByteArray>, commands);
    QFETCH(Result, result);

    ScriptedFtpServer server;
    QVERIFY(server.isListening());
    for (const QString &path : onServer)
        server.script().addDirectory(path);
    writeSettings(server.serverString(), directory);
    applyFault(fault, server);

    FtpClient client;
    client.setTimeout(1s);
    QStringList shown;
    UploadAttempt attempt(
        client, [&](const QString &status) { shown.append(status); }, [] { return false; });
    QCOMPARE(attempt.run(UploadDate{Year, Month, Day}), result);

    QCOMPARE(shown, statuses);
    QCOMPARE(uploadCommands(server.commands()), commands);
    if (result != Result::Succeeded)
        return;
    QTRY_COMPARE(server.commands().last(), QByteArray("QUIT"));
    const QString root = directory.isEmpty() ? QStringLiteral("/") : '/' + directory + '/';
    const QString month = Year + '/' + Month + '/';
    for (const auto &[remote, local] :
         {std::pair{QStringLiteral("year.html"), yearListPath()},
          {Year + QStringLiteral("/index.html"), monthListPath(Year)},
          {month + QStringLiteral("index.html"), dayListPath(Year, Month)},
          {month + Day + QStringLiteral(".html"), dayPagePath(Year, Month, Day)}})
        QCOMPARE(server.file(root + remote), readWholeFile(local));
    QVERIFY(readWholeFile(m_app->filePath(QStringLiteral("ftp.log"))).contains("PASS ****"));
}

void TestUploadAttempt::droppedEarlyDataTurnsClassic_data()
{
    QTest::addColumn<ScriptedFtpScript::EarlyData>("early");
    QTest::addColumn<int>("sessions"); // of a bulk publish; 0: the upload window's attempt
    QTest::addColumn<bool>("firstSucceeds");

    using Early = ScriptedFtpScript::EarlyData;
    // Nothing tells this server from one that stored the page: the STOR waits for its final
    // reply until the time-out, attempt after attempt, unless the next one starts classic.
    QTest::newRow("closed cleanly") << Early::Closed << 0 << false;
    QTest::newRow("closed cleanly, bulk") << Early::Closed << 4 << false;
    // The reset shows at once: the page goes again within the attempt.
    QTest::newRow("reset") << Early::Reset << 0 << true;
    QTest::newRow("reset, bulk") << Early::Reset << 4 << true;
}

// A server that drops data sent right behind STOR: the destination is recorded as one for the
// classic order, so a later attempt, with new clients, sends nothing ahead and succeeds.
void TestUploadAttempt::droppedEarlyDataTurnsClassic()
{
    QFETCH(ScriptedFtpScript::EarlyData, early);
    QFETCH(int, sessions);
    QFETCH(bool, firstSucceeds);

    ScriptedFtpServer server;
    QVERIFY(server.isListening());
    server.script().addDirectory(QStringLiteral("/www"));
    server.script().setEarlyData(early);
    writeSettings(server.serverString(), QStringLiteral("www"));
    const auto attempt = [&] {
        if (sessions > 0) {
            BulkPublish publish(configuredDestination(), QStringLiteral("secret"), siteFiles());
            publish.setTimeout(2s);
            publish.setMaxSessions(sessions);
            return publish.run().result == BulkOutcome::Result::Succeeded;
        }
        FtpClient client;
        client.setTimeout(2s);
        UploadAttempt upload(
            client, [](const QString &) {}, [] { return false; });
        return upload.run(UploadDate{Year, Month, Day}) == Result::Succeeded;
    };

    QCOMPARE(attempt(), firstSucceeds);
    const int drops = server.script().earlyDataDrops();
    QVERIFY(drops >= 1);
    QVERIFY(!ServerRecord(configuredDestination()).pipelining());

    QVERIFY(attempt());
    QCOMPARE(server.script().earlyDataDrops(), drops);
    // The upload window sends the four pages of its day; the bulk publish the whole site.
    const QString otherDay = Year + '/' + Month + QStringLiteral("/03.html");
    for (const SiteFile &file : siteFiles()) {
        const QString remote = QStringLiteral("/www/") + file.remotePath;
        QCOMPARE(server.hasFile(remote), sessions > 0 || file.remotePath != otherDay);
        if (server.hasFile(remote))
            QCOMPARE(server.file(remote), readWholeFile(file.localPath));
    }
}

void TestUploadAttempt::sftpDestination_data()
{
    QTest::addColumn<bool>("absolute"); // the remote directory as a path from "/"
    QTest::addColumn<QStringList>("onServer");
    QTest::addColumn<QStringList>("statuses");

    const QString moved = UploadStatus::DirectoryChanged;
    const QString page = UploadStatus::Uploading;
    QTest::newRow("year and month missing: made")
        << false << QStringList{"www"}
        << QStringList{UploadStatus::Connected, moved, page, page, page, UploadStatus::Sent};
    QTest::newRow("absolute directory, year and month there")
        << true << QStringList{"www/2024/05"}
        << QStringList{UploadStatus::Connected, moved, page, moved, page, moved, page,
                       UploadStatus::Sent};
}

// An sftp:// server setting goes through the same stages to OpenSSH's sshd, the host key
// asked about before the login, and the record learns what the server confirmed.
void TestUploadAttempt::sftpDestination()
{
    QFETCH(bool, absolute);
    QFETCH(QStringList, onServer);
    QFETCH(QStringList, statuses);

    SshServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
    for (const QString &made : onServer)
        QVERIFY(server.makeRemoteDirectory(made));
    const QString directory = absolute ? server.homePath() + QStringLiteral("/www") : "www";
    writeFtpSettings(server.serverString(), server.user(), server.password(), directory);

    const std::unique_ptr<PublishClient> client = makePublishClient(server.serverString());
    QStringList shown;
    UploadAttempt attempt(
        *client, [&](const QString &status) { shown.append(status); }, [] { return false; });
    int questions = 0;
    attempt.setTrustQuestions({{}, [&](const HostKeyQuestion &) { return ++questions > 0; }});
    QCOMPARE(attempt.run(UploadDate{Year, Month, Day}), Result::Succeeded);
    QCOMPARE(shown, statuses);
    QCOMPARE(questions, 1);
    const ServerRecord record({server.serverString(), server.user(), directory});
    for (const QString &page : {yearListPath(), monthListPath(Year), dayListPath(Year, Month),
                                dayPagePath(Year, Month, Day)}) {
        QCOMPARE(server.remoteFile("www/" + remotePathOf(page)), readWholeFile(page));
        QVERIFY(record.holds(remotePathOf(page), fileDigest(page)));
    }
}

QTEST_GUILESS_MAIN(TestUploadAttempt)
#include "TestUploadAttempt.moc"
