// One upload attempt against a scripted server, without a window: for each state of the
// remote tree and each fault, the stages in the order they are shown, the commands the
// server received, how the attempt ended and what arrived.

#include "DayPages.h"
#include "ScriptedFault.h"
#include "SiteFilePaths.h"
#include "SshServer.h"
#include "TemporaryShown.h"
#include "TestAppDir.h"

#include "diary/EntryStore.h"
#include "pages/PageGenerator.h"
#include "pages/PagePaths.h"
#include "publish/ServerRecord.h"
#include "publish/SiteInventory.h"
#include "publish/UploadAttempt.h"
#include "settings/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <algorithm>
#include <optional>

using namespace Kakiva;
using namespace std::chrono_literals;
using Result = PublishResult;
using Stages = QList<OutcomeKind>;

namespace {

const QString Year = QStringLiteral("2024");
const QString Month = QStringLiteral("05");
const QString Day = QStringLiteral("07");

// Faults of the local side, beside those of the server.
enum class Local
{
    None,
    PageMissing,
    DataConnectionDropped, // a large page, and a server that drops its data part-way
    RecordUnwritable,      // a directory where sent.json goes
};

struct Fault
{
    ScriptedFault server = ScriptedFault::None;
    Local local = Local::None;
};

// What the upload itself asks of a server: the login, directory changes, files and the
// renames that put them in place, without the FTP client's own set-up around each transfer.
// A temporary shows as "~" and its number, its tag being new each time.
QList<QByteArray> uploadCommands(const QList<QByteArray> &commands)
{
    static const QList<QByteArray> verbs{"USER ", "PASS ", "CWD ", "MKD ", "STOR ", "RNTO "};
    QList<QByteArray> kept;
    for (const QByteArray &line : commands) {
        if (std::any_of(verbs.begin(), verbs.end(),
                        [&](const QByteArray &verb) { return line.startsWith(verb); }))
            kept.append(withTemporariesShown(line));
    }
    return kept;
}

// One attempt with the settings as they are now, the stages it shows appended to shown:
// by default of the four pages a save of the day writes, in the order it writes them.
PublishOutcome upload(std::chrono::milliseconds timeout, Stages *shown = nullptr,
                      ServerIdentityTrust::Questions ask = {},
                      const QStringList &pages = sitePagesOfDay(Year, Month, Day))
{
    const PublishRequest request{destinationOf(readSettings()), IniRead(FtpSection, PasswordKey),
                                 timeout, nullptr, std::move(ask)};
    UploadAttempt attempt(request, [shown](OutcomeKind status) {
        if (shown)
            shown->append(status);
    });
    return attempt.run(pages);
}

} // namespace

Q_DECLARE_METATYPE(Fault)
Q_DECLARE_METATYPE(Result)

class TestUploadAttempt : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void statusesAndCommands_data();
    void statusesAndCommands();
    void recordsEachConfirmedPage();
    void sendsWhatTheChangeNames_data();
    void sendsWhatTheChangeNames();
    void sftpDestination_data();
    void sftpDestination();

private:
    void applyLocal(Local fault, ScriptedFtpServer &server);

    std::optional<TestAppDir> m_app;
};

void TestUploadAttempt::init()
{
    m_app.emplace();
    // Another day of the month, so the lists hold more than the day sent.
    for (const QString &day : {QStringLiteral("03"), Day})
        writeSavedDay(Year, Month, day);
}

void TestUploadAttempt::cleanup()
{
    m_app.reset();
}

void TestUploadAttempt::applyLocal(Local fault, ScriptedFtpServer &server)
{
    switch (fault) {
    case Local::None:
        break;
    case Local::PageMissing:
        QVERIFY(QFile::remove(dayListPath(Year, Month)));
        break;
    case Local::DataConnectionDropped: {
        // A day page of several hundred KiB, cut off after its first 64 KiB.
        writeSavedDay(Year, Month, Day, QString(150 * 1024, QChar(0x65e5)));
        server.script().setTransfer(ScriptedFtpScript::Transfer::DropAfter, 64 * 1024);
        break;
    }
    case Local::RecordUnwritable:
        QVERIFY(QDir().mkpath(ServerRecord::filePath()));
        break;
    }
}

void TestUploadAttempt::statusesAndCommands_data()
{
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QStringList>("onServer"); // remote directories made before
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<Stages>("statuses");
    QTest::addColumn<QList<QByteArray>>("commands");
    QTest::addColumn<Result>("result");

    const OutcomeKind connected = OutcomeKind::Connected;
    const OutcomeKind moved = OutcomeKind::DirectoryChanged;
    // Sent only once the last page is confirmed: closing on seeing it would cancel the rest,
    // so the pages before it leave Uploading standing.
    const OutcomeKind page = OutcomeKind::Uploading;
    const OutcomeKind sent = OutcomeKind::Sent;
    const OutcomeKind error = OutcomeKind::Failed;
    using Commands = QList<QByteArray>;
    const Commands login{"USER diarist", "PASS secret"};
    const auto make = [](const QByteArray &name) {
        return Commands{"CWD " + name, "MKD " + name, "CWD " + name};
    };
    // Each page goes under a temporary name; only when all are up and whole do they replace
    // the pages, from the month directory.
    const Commands yearList = login + Commands{"CWD www", "STOR ~0"};
    const Commands monthList = yearList + Commands{"CWD 2024", "STOR ~1"};
    const Commands dayPages{"STOR ~2", "STOR ~3"};
    // After a failure the temporaries go, the deepest first, from the month directory up.
    const Commands removals{"CWD ..", "CWD .."};
    const Commands renames{"RNTO ../../year.html", "RNTO ../index.html", "RNTO index.html",
                           "RNTO 07.html"};
    const Stages full{connected, moved, page, moved, page, moved, page, sent};
    const QStringList existing{"/www", "/www/2024", "/www/2024/05"};

    QTest::newRow("year and month exist")
        << "www" << existing << Fault{} << full
        << monthList + Commands{"CWD 05"} + dayPages + renames << Result::Succeeded;
    // The day list follows the month list without a "directory changed" in between.
    QTest::newRow("new month") << "www" << QStringList{"/www", "/www/2024"} << Fault{}
                               << Stages{connected, moved, page, moved, page, page, sent}
                               << monthList + make("05") + dayPages + renames
                               << Result::Succeeded;
    QTest::newRow("new year") << "www" << QStringList{"/www"} << Fault{}
                              << Stages{connected, moved, page, page, page, sent}
                              << yearList + make("2024") + Commands{"STOR ~1"} +
                                     make("05") + dayPages + renames
                              << Result::Succeeded;
    QTest::newRow("nested remote directory")
        << "sites/diary" << QStringList{"/sites", "/sites/diary", "/sites/diary/2024"} << Fault{}
        << Stages{connected, moved, page, moved, page, page, sent}
        << login + Commands{"CWD sites/diary", "STOR ~0", "CWD 2024", "STOR ~1"} +
               make("05") + dayPages + renames
        << Result::Succeeded;
    // No directory set: the login directory itself, with no "CWD " to get there.
    QTest::newRow("login directory")
        << "" << QStringList{} << Fault{} << Stages{connected, page, page, page, sent}
        << login + Commands{"STOR ~0"} + make("2024") + Commands{"STOR ~1"} +
               make("05") + dayPages + renames
        << Result::Succeeded;

    // The pages go, unrecorded: they count as unsent and go again later.
    QTest::newRow("sent.json cannot be written")
        << "www" << existing << Fault{{}, Local::RecordUnwritable} << full
        << monthList + Commands{"CWD 05"} + dayPages + renames << Result::Succeeded;

    QTest::newRow("Connect 1: greeting refused")
        << "www" << existing << Fault{ScriptedFault::Greeting500}
        << Stages{OutcomeKind::ConnectFailed} << Commands{} << Result::Failed;
    QTest::newRow("Connect 2: user refused")
        << "www" << existing << Fault{ScriptedFault::UserRefused}
        << Stages{OutcomeKind::ConnectFailed} << Commands{"USER diarist"} << Result::Failed;
    QTest::newRow("Connect 3: password refused")
        << "www" << existing << Fault{ScriptedFault::PasswordRefused}
        << Stages{OutcomeKind::ConnectFailed} << login << Result::Failed;
    QTest::newRow("Connect 5: 421 instead of a greeting")
        << "www" << existing << Fault{ScriptedFault::Greeting421}
        << Stages{OutcomeKind::ConnectFailed} << Commands{} << Result::Failed;
    QTest::newRow("Connect -1: refused port")
        << "www" << existing << Fault{ScriptedFault::RefusedPort}
        << Stages{OutcomeKind::SocketNotOpened} << Commands{} << Result::Failed;
    QTest::newRow("Connect -2: silent server")
        << "www" << existing << Fault{ScriptedFault::SilentGreeting}
        << Stages{OutcomeKind::TimedOut} << Commands{} << Result::Failed;
    // Under ftpes:// the login never goes out in clear.
    QTest::newRow("Connect 1: AUTH TLS refused")
        << "www" << existing << Fault{ScriptedFault::TlsRefused}
        << Stages{OutcomeKind::ConnectFailed} << Commands{} << Result::Failed;
    QTest::newRow("Connect 10000 and more: network unreachable")
        << "www" << existing << Fault{ScriptedFault::UnreachableAddress}
        << Stages{OutcomeKind::NetworkError} << Commands{} << Result::Failed;
    QTest::newRow("remote directory cannot be entered")
        << "www" << existing << Fault{ScriptedFault::RemoteDirectoryMissing}
        << Stages{connected, error} << login + Commands{"CWD www"} << Result::Failed;
    // Sending the day list anyway would overwrite the year's month list.
    QTest::newRow("month directory can be neither entered nor made")
        << "www" << QStringList{"/www", "/www/2024"} << Fault{ScriptedFault::MakeDirectoryFails}
        << Stages{connected, moved, page, moved, page, error}
        << monthList + make("05") + Commands{"CWD .."} << Result::Failed;
    QTest::newRow("STOR refused") << "www" << existing << Fault{ScriptedFault::StoreRefused}
                                  << Stages{connected, moved, error} << yearList << Result::Failed;
    QTest::newRow("day list missing locally")
        << "www" << existing << Fault{{}, Local::PageMissing}
        << Stages{connected, moved, page, moved, page, moved, OutcomeKind::LocalFileMissing}
        << monthList + Commands{"CWD 05"} + removals << Result::Failed;
    // A 426 may mean the server dropped data that came ahead of the STOR: the client sends
    // that page once more, in the classic order, before the failure stands.
    QTest::newRow("data connection dropped mid-file")
        << "www" << existing << Fault{{}, Local::DataConnectionDropped}
        << Stages{connected, moved, page, moved, page, moved, page, error}
        << monthList + Commands{"CWD 05"} + dayPages + Commands{"STOR ~3"} + removals
        << Result::Failed;
    QTest::newRow("421 mid-session")
        << "www" << existing << Fault{ScriptedFault::ServiceClosingMidSession}
        << Stages{connected, moved, page, error} << yearList + Commands{"CWD 2024"}
        << Result::Failed;
    QTest::newRow("silent server after login")
        << "www" << existing << Fault{ScriptedFault::SilentAfterLogin} << Stages{connected, error}
        << login + Commands{"CWD www"} << Result::Failed;
}

void TestUploadAttempt::statusesAndCommands()
{
    QFETCH(QString, directory);
    QFETCH(QStringList, onServer);
    QFETCH(Fault, fault);
    QFETCH(Stages, statuses);
    QFETCH(QList<QByteArray>, commands);
    QFETCH(Result, result);

    ScriptedFtpServer server;
    QVERIFY(server.isListening());
    for (const QString &path : onServer)
        server.script().addDirectory(path);
    writeScriptedSettings(server, directory);
    applyScriptedFault(fault.server, server);
    applyLocal(fault.local, server);

    Stages shown;
    const PublishOutcome outcome = upload(1s, &shown);
    QCOMPARE(outcome.result, result);
    QCOMPARE(shown, statuses);
    QCOMPARE(outcome.recordError.isEmpty(), fault.local != Local::RecordUnwritable);
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

// The pages go into the record once they have replaced the old ones, and only then: a store
// refused part-way leaves the record (and the server's pages) as they were.
void TestUploadAttempt::recordsEachConfirmedPage()
{
    ScriptedFtpServer server;
    for (const char *directory : {"/www", "/www/2024", "/www/2024/05"})
        server.script().addDirectory(QString::fromLatin1(directory));
    server.queueReply("STOR", ScriptedReply::asUsual());
    server.queueReply("STOR", ScriptedReply::asUsual());
    server.queueReply("STOR", ScriptedReply::text("552 Quota exceeded\r\n"));
    writeScriptedSettings(server);

    QCOMPARE(upload(10s).result, Result::Failed);
    const ServerRecord failed(destinationOf(readSettings()));
    QCOMPARE(failed.size(), 0);
    QVERIFY(!server.hasFile("/www/year.html"));
    QVERIFY(!server.hasFile("/www/2024/index.html"));

    QCOMPARE(upload(10s).result, Result::Succeeded);
    const QStringList unsent =
        remotePathsOf(unsentFiles(ServerRecord(destinationOf(readSettings()))));
    QCOMPARE(unsent, QStringList{"2024/05/03.html"});
}

void TestUploadAttempt::sendsWhatTheChangeNames_data()
{
    QTest::addColumn<QStringList>("pages"); // as a change names them
    QTest::addColumn<QStringList>("sent");  // as the server confirmed them
    QTest::addColumn<QList<QByteArray>>("commands");
    using Commands = QList<QByteArray>;
    const Commands login{"USER diarist", "PASS secret", "CWD www"};
    QTest::newRow("a deletion's lists, deepest first")
        << QStringList{"2024/05/index.html", "2024/index.html", "year.html"}
        << QStringList{"year.html", "2024/index.html", "2024/05/index.html"}
        << login + Commands{"STOR ~0", "CWD 2024", "STOR ~1", "CWD 05", "STOR ~2",
                            "RNTO ../../year.html", "RNTO ../index.html", "RNTO index.html"};
    QTest::newRow("one page of another day")
        << QStringList{"2024/05/03.html"} << QStringList{"2024/05/03.html"}
        << login + Commands{"CWD 2024/05", "STOR ~0", "RNTO 03.html"};
    QTest::newRow("pages of two directories, a page before its list")
        << QStringList{"2024/05/03.html", "2024/05/07.html", "2024/05/index.html"}
        << QStringList{"2024/05/index.html", "2024/05/03.html", "2024/05/07.html"}
        << login + Commands{"CWD 2024/05", "STOR ~0", "STOR ~1", "STOR ~2", "RNTO index.html",
                            "RNTO 03.html", "RNTO 07.html"};
}

// Only the pages the change names go up, each from its own place in the site, from the top
// down and a list before the pages beside it.
void TestUploadAttempt::sendsWhatTheChangeNames()
{
    QFETCH(QStringList, pages);
    QFETCH(QStringList, sent);
    QFETCH(QList<QByteArray>, commands);
    ScriptedFtpServer server;
    for (const char *directory : {"/www", "/www/2024", "/www/2024/05"})
        server.script().addDirectory(QString::fromLatin1(directory));
    writeScriptedSettings(server);

    const PublishOutcome outcome = upload(10s, nullptr, {}, pages);
    QCOMPARE(outcome.result, Result::Succeeded);
    QCOMPARE(outcome.confirmed, sent);
    QCOMPARE(uploadCommands(server.commands()), commands);
    for (const QString &page : sent)
        QCOMPARE(server.file("/www/" + page), readWholeFile(localPathOf(page)));
}

void TestUploadAttempt::sftpDestination_data()
{
    QTest::addColumn<bool>("absolute"); // the remote directory as a path from "/"
    QTest::addColumn<QStringList>("onServer");
    QTest::addColumn<Stages>("statuses");
    QTest::addColumn<QStringList>("rootFiles"); // sent with the four pages

    const OutcomeKind moved = OutcomeKind::DirectoryChanged;
    const OutcomeKind page = OutcomeKind::Uploading;
    QTest::newRow("year and month missing: made")
        << false << QStringList{"www"}
        << Stages{OutcomeKind::Connected, moved, page, page, page, OutcomeKind::Sent}
        << QStringList{};
    QTest::newRow("absolute directory, year and month there")
        << true << QStringList{"www/2024/05"}
        << Stages{OutcomeKind::Connected, moved, moved, page, page, page, OutcomeKind::Sent}
        << QStringList{};
    // The root files come last, yet the deepest directory is still the one entered.
    QTest::newRow("year and month missing, the root files after the pages")
        << false << QStringList{"www"}
        << Stages{OutcomeKind::Connected, moved, page, page, page, page, page, OutcomeKind::Sent}
        << QStringList{"index.html", "kakiva.css"};
}

// An sftp:// server setting goes through the same stages to OpenSSH's sshd, the host key
// asked about before the login, and the record learns what the server confirmed.
void TestUploadAttempt::sftpDestination()
{
    QFETCH(bool, absolute);
    QFETCH(QStringList, onServer);
    QFETCH(Stages, statuses);
    QFETCH(QStringList, rootFiles);
    QStringList paths = sitePagesOfDay(Year, Month, Day);
    for (const QString &name : rootFiles)
        paths.append(remotePathOf(m_app->write("HTML/" + name, "<!-- " + name.toUtf8() + " -->")));

    SshServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
    for (const QString &made : onServer)
        QVERIFY(server.makeRemoteDirectory(made));
    const QString directory = absolute ? server.homePath() + QStringLiteral("/www") : "www";
    writeFtpSettings(server.serverString(), server.user(), server.password(), directory);

    Stages shown;
    int questions = 0;
    const auto ask = [&](const HostKeyQuestion &) { return ++questions > 0; };
    QCOMPARE(upload(25s, &shown, {{}, ask}, paths).result, Result::Succeeded);
    QCOMPARE(shown, statuses);
    QCOMPARE(questions, 1);
    const ServerRecord record({server.serverString(), server.user(), directory});
    for (const QString &page : {yearListPath(), monthListPath(Year), dayListPath(Year, Month),
                                dayPagePath(Year, Month, Day)}) {
        QCOMPARE(server.remoteFile("www/" + remotePathOf(page)), readWholeFile(page));
        QVERIFY(record.holds(remotePathOf(page), fileDigest(page)));
    }
    for (const QString &name : rootFiles)
        QCOMPARE(server.remoteFile("www/" + name), m_app->read("HTML/" + name));
}

QTEST_GUILESS_MAIN(TestUploadAttempt)
#include "TestUploadAttempt.moc"
