// A day taken back: the local site loses the day and whatever it leaves empty, the record
// remembers what the server must lose, and a publish over FTP, FTP over TLS or SFTP removes
// it there and sends the rewritten lists.

#include "DayPages.h"
#include "PyFtpServer.h"
#include "SshServer.h"
#include "TestAppDir.h"
#include "TestCertificates.h"

#include "backup/BackupFolder.h"
#include "diary/EntryStore.h"
#include "journal/DayDeletion.h"
#include "pages/PageGenerator.h"
#include "publish/BulkPublish.h"
#include "publish/ServerRecord.h"
#include "publish/SiteInventory.h"
#include "publish/UploadAttempt.h"

#include <QDir>
#include <QTest>

#include <memory>
#include <optional>

using namespace Kakiva;
using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

const PublishDestination Somewhere{u"ftp.example.jp"_s, u"diarist"_s, u"www"_s};

void writeDay(const QString &date)
{
    const QStringList ymd = date.split(u'/');
    writeSavedDay(ymd[0], ymd[1], ymd[2], u"日記 "_s + date);
}

bool deleteDate(const QString &date)
{
    const QStringList ymd = date.split(u'/');
    return journal::deleteDay({ymd[0], ymd[1], ymd[2]}).ok();
}

void confirmWholeSite(const PublishDestination &to)
{
    ServerRecord record(to);
    for (const SiteFile &file : siteFiles())
        QVERIFY(record.confirm(file.remotePath, file.digest));
}

// A real server of the protocol ("ftp", "ftpes" or "sftp") on loopback, with folders made
// below its home, and what a publish of the whole site to directory there needs.
struct PeerServer
{
    std::optional<TestCertificates> certificates;
    std::unique_ptr<PyFtpServer> ftp;
    std::unique_ptr<SshServer> ssh;
    PublishDestination to;
    QString password;
    QString home;

    void start(const QString &protocol, const QString &directory, const QStringList &folders)
    {
        if (protocol == u"sftp")
            startSsh(folders);
        else
            startFtp(protocol == u"ftpes", folders);
        to = {ssh ? ssh->serverString() : ftp->serverString(), ssh ? ssh->user() : ftp->user(),
              directory};
    }

    PublishOutcome publish(const QList<SiteFile> &files) const
    {
        const auto trust = [](const HostKeyQuestion &) { return true; };
        return BulkPublish({to, password, 25s, nullptr, {{}, trust}}, files).run();
    }

private:
    void startSsh(const QStringList &folders)
    {
        ssh = std::make_unique<SshServer>();
        QVERIFY2(ssh->isRunning(), qPrintable(ssh->errorString()));
        for (const QString &folder : folders)
            QVERIFY(ssh->makeRemoteDirectory(folder));
        password = ssh->password();
        home = ssh->homePath();
    }

    void startFtp(bool tls, const QStringList &folders)
    {
        if (tls) {
            certificates.emplace();
            QVERIFY2(certificates->isReady(), qPrintable(certificates->errorString()));
            certificates->trustAuthority();
            const auto files = certificates->signedByCa();
            ftp = std::make_unique<PyFtpServer>(
                u"127.0.0.1"_s, PyFtpServer::Tls{files.certificate, files.key, false});
        } else {
            ftp = std::make_unique<PyFtpServer>();
        }
        QVERIFY2(ftp->isRunning(), qPrintable(ftp->errorString()));
        for (const QString &folder : folders)
            QVERIFY(QDir(ftp->homePath()).mkpath(folder));
        password = ftp->password();
        home = ftp->homePath();
    }
};

} // namespace

class TestDayDeletion : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { m_app.reset(); }

    void localSiteLosesTheDay_data();
    void localSiteLosesTheDay();
    void dayPageNotedBeforeItGoes_data();
    void dayPageNotedBeforeItGoes();
    void publishRemovesItFromTheServer_data();
    void publishRemovesItFromTheServer();
    void uploadOfAnotherDayRemovesIt();
    void hostileRemovalIsNeverSent_data();
    void hostileRemovalIsNeverSent();

private:
    std::unique_ptr<TestAppDir> m_app;
};

void TestDayDeletion::init()
{
    m_app = std::make_unique<TestAppDir>();
    for (const QString &date : {u"2004/08/03"_s, u"2004/08/17"_s, u"2004/09/01"_s, u"2005/01/02"_s})
        writeDay(date);
}

void TestDayDeletion::localSiteLosesTheDay_data()
{
    QTest::addColumn<QString>("date");
    QTest::addColumn<bool>("backupWorks");
    QTest::addColumn<QStringList>("gone");       // below the application directory
    QTest::addColumn<QStringList>("unlinkedIn"); // a list page and the link it no longer holds
    QTest::addColumn<QStringList>("removed");    // as the change names them, in order
    QTest::addColumn<QStringList>("written");
    // The pages were made without a save, so the first change of the site writes the
    // starters and latest.html after the lists.
    const QStringList firstRootFiles{"index.html", "kakiva.css", "latest.html"};
    QTest::newRow("a middle day")
        << u"2004/08/03"_s << true << QStringList{"Diary/2004/08/03.dia", "HTML/2004/08/03.html"}
        << QStringList{"HTML/2004/08/index.html", "./03.html"} << QStringList{"2004/08/03.html"}
        << QStringList{"2004/08/index.html", "2004/index.html", "year.html"} + firstRootFiles;
    QTest::newRow("last day of a month")
        << u"2004/09/01"_s << true << QStringList{"Diary/2004/09", "HTML/2004/09"}
        << QStringList{"HTML/2004/index.html", "./09/index.html"}
        << QStringList{"2004/09/01.html", "2004/09/index.html"}
        << QStringList{"2004/index.html", "year.html"} + firstRootFiles;
    QTest::newRow("last month of a year")
        << u"2005/01/02"_s << true << QStringList{"Diary/2005", "HTML/2005"}
        << QStringList{"HTML/year.html", "./2005/index.html"}
        << QStringList{"2005/01/02.html", "2005/01/index.html", "2005/index.html"}
        << QStringList{"year.html"} + firstRootFiles;
    QTest::newRow("no backup, no deletion") << u"2004/08/03"_s << false << QStringList{}
                                            << QStringList{} << QStringList{} << QStringList{};
    QTest::newRow("a day without pages")
        << u"2006/03/04"_s << true << QStringList{"Diary/2006"} << QStringList{} << QStringList{}
        << QStringList{"year.html"} + firstRootFiles;
}

// What is gone locally is exactly what the server must lose; a record read afresh, as after
// a restart, still says so.
void TestDayDeletion::localSiteLosesTheDay()
{
    QFETCH(QString, date);
    QFETCH(bool, backupWorks);
    QFETCH(QStringList, gone);
    QFETCH(QStringList, unlinkedIn);
    QFETCH(QStringList, removed);
    QFETCH(QStringList, written);
    if (!gone.isEmpty() && !QFileInfo::exists(m_app->filePath(u"Diary/"_s + date + u".dia"_s))) {
        // The entry of a day whose pages were never made.
        const QStringList ymd = date.split(u'/');
        QCOMPARE(DiaryWrite(ymd[0], ymd[1], ymd[2], u"ページのない日"_s), qint16(0));
    }
    confirmWholeSite(Somewhere);
    const QList<SiteFile> before = siteFiles();
    if (!backupWorks) // a backup folder that is a file takes no backup
        QVERIFY(setBackupFolder(m_app->write(u"blocker"_s, "file"), nullptr));

    const QStringList ymd = date.split(u'/');
    const journal::SiteChange change = journal::deleteDay({ymd[0], ymd[1], ymd[2]});
    QCOMPARE(change.ok(), backupWorks);
    QCOMPARE(change.failure, backupWorks ? journal::SiteChange::Failure::None
                                         : journal::SiteChange::Failure::Backup);
    QCOMPARE(change.removed, removed);
    QCOMPARE(change.written, written);
    for (const QString &path : gone)
        QVERIFY2(!QFileInfo::exists(m_app->filePath(path)), qPrintable(path));
    if (!unlinkedIn.isEmpty())
        QVERIFY(!m_app->read(unlinkedIn[0]).contains(unlinkedIn[1].toUtf8()));
    QVERIFY(m_app->read(u"HTML/year.html"_s).contains("./2004/index.html"));
    QVERIFY(m_app->read(u"HTML/2004/08/index.html"_s).contains("./17.html"));
    QStringList lost;
    for (const SiteFile &file : before) {
        if (!QFileInfo::exists(file.localPath))
            lost.append(file.remotePath);
    }
    QStringList pending = pendingRemovals(ServerRecord(Somewhere));
    pending.sort();
    lost.sort();
    QCOMPARE(pending, lost);
}

void TestDayDeletion::dayPageNotedBeforeItGoes_data()
{
    QTest::addColumn<bool>("pageMissing"); // the local day page already gone
    QTest::addColumn<bool>("entryStays");  // the entry is no file a backup can hold
    QTest::newRow("local page already missing") << true << false;
    QTest::newRow("entry a folder: refused before anything changes") << false << true;
}

// The record learns that the server must lose the day page before the entry or the page
// goes: otherwise a crash in between, or a page already missing locally, leaves it on the
// server with nothing to say it should go.
void TestDayDeletion::dayPageNotedBeforeItGoes()
{
    QFETCH(bool, pageMissing);
    QFETCH(bool, entryStays);
    confirmWholeSite(Somewhere);
    if (pageMissing)
        QVERIFY(QFile::remove(m_app->filePath(u"HTML/2004/08/03.html"_s)));
    if (entryStays) {
        // A folder in the entry's place: no backup can hold the day, so nothing may go.
        QVERIFY(QFile::remove(m_app->filePath(u"Diary/2004/08/03.dia"_s)));
        m_app->write(u"Diary/2004/08/03.dia/inside"_s, "x");
    }

    QCOMPARE(deleteDate(u"2004/08/03"_s), !entryStays);
    QCOMPARE(ServerRecord(Somewhere).removals().contains(u"2004/08/03.html"_s), !entryStays);
    QCOMPARE(QFile::exists(m_app->filePath(u"HTML/2004/08/03.html"_s)), entryStays);
    if (pageMissing)
        QVERIFY(pendingRemovals(ServerRecord(Somewhere)).contains(u"2004/08/03.html"_s));
}

void TestDayDeletion::publishRemovesItFromTheServer_data()
{
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<bool>("alreadyGone"); // the day page was removed on the server by hand
    QTest::newRow("plain FTP") << u"ftp"_s << false;
    QTest::newRow("plain FTP, page already gone") << u"ftp"_s << true;
    QTest::newRow("FTP over TLS") << u"ftpes"_s << false;
    QTest::newRow("SFTP") << u"sftp"_s << false;
    QTest::newRow("SFTP, page already gone") << u"sftp"_s << true;
}

void TestDayDeletion::publishRemovesItFromTheServer()
{
    QFETCH(QString, protocol);
    QFETCH(bool, alreadyGone);
    PeerServer server;
    server.start(protocol, u"www"_s, {u"www"_s});
    if (QTest::currentTestFailed())
        return;
    const PublishDestination &to = server.to;
    const QString &home = server.home;
    const auto publish = [&](const QList<SiteFile> &files) { return server.publish(files); };
    QCOMPARE(publish(siteFiles()).failure.kind, OutcomeKind::None);
    const QString remote = home + u"/www/"_s;
    QVERIFY(QFile::exists(remote + u"2004/09/01.html"_s));

    QVERIFY(deleteDate(u"2004/09/01"_s));
    if (alreadyGone)
        QVERIFY(QFile::remove(remote + u"2004/09/01.html"_s));
    const PublishOutcome outcome = publish(unsentFiles(ServerRecord(to)));
    QCOMPARE(outcome.failure.kind, OutcomeKind::None);
    QCOMPARE(outcome.result, PublishResult::Succeeded);
    QVERIFY(!QFile::exists(remote + u"2004/09/01.html"_s));
    QVERIFY(!QFile::exists(remote + u"2004/09/index.html"_s));
    for (const QString &list : {u"year.html"_s, u"2004/index.html"_s})
        QCOMPARE(readWholeFile(remote + list), m_app->read(u"HTML/"_s + list));
    QCOMPARE(pendingRemovals(ServerRecord(to)), QStringList());
    QVERIFY(!m_app->read(u"sent.json"_s).contains("2004/09"));

    writeDay(u"2004/09/01"_s); // as a restore from a backup writes it: a new day to the server
    QCOMPARE(unsentDays(ServerRecord(to), 2004, 9), QList<int>{1});
}

// The upload window's attempt for another day removes the deleted one too, and sends the
// list of its month, which it would not send for its own day.
void TestDayDeletion::uploadOfAnotherDayRemovesIt()
{
    PyFtpServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
    QVERIFY(QDir(server.homePath()).mkpath(u"www"_s));
    writeFtpSettings(server.serverString(), server.user(), server.password(), u"www"_s);
    const PublishRequest request{destinationOf(readSettings()), server.password()};
    QCOMPARE(BulkPublish(request, siteFiles()).run().failure.kind, OutcomeKind::None);

    QVERIFY(deleteDate(u"2004/08/03"_s));
    writeDay(u"2005/01/09"_s);
    UploadAttempt attempt(request, [](OutcomeKind) {});
    QCOMPARE(attempt.run(sitePagesOfDay(u"2005"_s, u"01"_s, u"09"_s)).result,
             PublishResult::Succeeded);
    QVERIFY(!QFile::exists(server.homePath() + u"/www/2004/08/03.html"_s));
    QCOMPARE(server.remoteFile(u"www/2004/08/index.html"_s),
             m_app->read(u"HTML/2004/08/index.html"_s));
    QVERIFY(pendingRemovals(ServerRecord(destinationOf(readSettings()))).isEmpty());
}

void TestDayDeletion::hostileRemovalIsNeverSent_data()
{
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<QString>("hostile");
    QTest::newRow("FTP, climbing out") << u"ftp"_s << u"../../private/victim.txt"_s;
    QTest::newRow("FTP, climbing out from a year")
        << u"ftp"_s << u"2004/../../../private/victim.txt"_s;
    QTest::newRow("SFTP, climbing out") << u"sftp"_s << u"../../private/victim.txt"_s;
    QTest::newRow("SFTP, absolute") << u"sftp"_s << u"/VICTIM/private/victim.txt"_s;
}

// A record restored from a backup, or written by someone else, names a file outside the site
// among its removals, as one the server confirmed: the publish that removes a deleted day
// never asks the server to remove it, forgets it and says so in the log.
void TestDayDeletion::hostileRemovalIsNeverSent()
{
    QFETCH(QString, protocol);
    QFETCH(QString, hostile);
    PeerServer server;
    server.start(protocol, u"www/site"_s, {u"www/site"_s, u"private"_s});
    if (QTest::currentTestFailed())
        return;
    if (server.ssh)
        QVERIFY(server.ssh->writeRemoteFile(u"private/victim.txt"_s, "keep me"));
    else
        writeWholeFile(server.home + u"/private/victim.txt"_s, "keep me");
    const PublishDestination &to = server.to;
    const QString &home = server.home;
    const std::unique_ptr<PyFtpServer> &ftp = server.ftp;
    hostile.replace(u"/VICTIM"_s, home);
    const auto publish = [&](const QList<SiteFile> &files) { return server.publish(files); };
    QCOMPARE(publish(siteFiles()).failure.kind, OutcomeKind::None);
    QVERIFY(deleteDate(u"2004/08/03"_s));
    QVERIFY(ServerRecord(to).confirm(hostile, QByteArray(32, 'x')));
    QVERIFY(ServerRecord::rememberRemovals({hostile}));
    QVERIFY(ServerRecord(to).removals().contains(hostile));

    const PublishOutcome outcome = publish(unsentFiles(ServerRecord(to)));
    QCOMPARE(outcome.failure.kind, OutcomeKind::None);
    QCOMPARE(outcome.result, PublishResult::Succeeded);
    QCOMPARE(readWholeFile(home + u"/private/victim.txt"_s), QByteArray("keep me"));
    QVERIFY(!QFile::exists(home + u"/www/site/2004/08/03.html"_s)); // the day's page went
    if (ftp) {
        for (const QString &command : ftp->commands())
            QVERIFY2(!command.contains(u"private"_s) && !command.contains(u"victim"_s),
                     qPrintable(command));
    }
    QCOMPARE(ServerRecord(to).removals(), QStringList());
    QVERIFY(m_app->read(u"ftp.log"_s).contains("Removal dropped"));
    QVERIFY(m_app->read(u"ftp.log"_s).contains("victim.txt"));
}

QTEST_GUILESS_MAIN(TestDayDeletion)
#include "TestDayDeletion.moc"
