// Publishing many files at once, against a real server (pyftpdlib) and the scripted one for
// faults: the server ends up holding exactly the local site, and a run cut short resumes.

#include "PyFtpServer.h"
#include "ScriptedFault.h"
#include "SiteFilePaths.h"
#include "SshServer.h"
#include "TestAppDir.h"

#include "publish/BulkPublish.h"
#include "publish/BulkWorkQueue.h"
#include "publish/ServerRecord.h"

#include <QDir>
#include <QTest>

#include <memory>

using namespace Kakiva;
using namespace std::chrono_literals;

namespace {

const QString Remote = QStringLiteral("www");

// A small site over two years: lists, day pages, the user's own style sheet and root page.
const QStringList SitePages{"year.html",       "index.html",         "kakiva.css",
                            "2004/index.html", "2004/08/index.html", "2004/08/03.html",
                            "2004/08/17.html", "2004/09/index.html", "2004/09/01.html",
                            "2005/index.html", "2005/01/index.html", "2005/01/02.html"};

QByteArray contentOf(const QString &page)
{
    // Bytes a text-mode transfer would change, and a size of its own per page.
    return page.toUtf8() + QByteArray("\r\n\x82\xa0\r\x1a\n\0", 9).repeated(page.size());
}

int countOf(const QStringList &commands, const QString &prefix)
{
    return static_cast<int>(std::count_if(commands.begin(), commands.end(),
                                          [&](const QString &c) { return c.startsWith(prefix); }));
}

} // namespace

Q_DECLARE_METATYPE(ScriptedFtpScript::EarlyData)
Q_DECLARE_METATYPE(Kakiva::PublishFailure)

class TestBulkPublish : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void wholeSiteMatchesTheServer_data();
    void wholeSiteMatchesTheServer();
    void serverTakingTwoSessions();
    void resumesAfterCancel();
    void resumesAfterDroppedConnection();
    void unconfirmedStoreIsNotRecorded();
    void goesOnPastAFaultOfOneFile_data();
    void goesOnPastAFaultOfOneFile();
    void droppedEarlyDataTurnsClassic_data();
    void droppedEarlyDataTurnsClassic();
    void sessionsShareDirectories();
    void sftpDestination();

private:
    PublishDestination destinationOf(const QString &server, const QString &user) const
    {
        return {server, user, Remote};
    }
    PublishOutcome publish(const PublishDestination &to, const QString &password,
                           const QList<SiteFile> &files, int sessions = BulkPublish::MaxSessions,
                           BulkPublish::ProgressSink progress = {});

    std::unique_ptr<TestAppDir> m_app;
    std::atomic_bool m_cancel{false};
};

void TestBulkPublish::init()
{
    m_app = std::make_unique<TestAppDir>();
    m_cancel = false;
    for (const QString &page : SitePages)
        m_app->write(QStringLiteral("HTML/") + page, contentOf(page));
}

void TestBulkPublish::cleanup()
{
    m_app.reset();
}

PublishOutcome TestBulkPublish::publish(const PublishDestination &to, const QString &password,
                                        const QList<SiteFile> &files, int sessions,
                                        BulkPublish::ProgressSink progress)
{
    BulkPublish run({to, password, 10s, &m_cancel}, files);
    run.setMaxSessions(sessions);
    run.setProgressSink(std::move(progress));
    return run.run();
}

void TestBulkPublish::wholeSiteMatchesTheServer_data()
{
    QTest::addColumn<int>("sessions");
    QTest::newRow("one session") << 1;
    QTest::newRow("four sessions") << 4;
}

// Every file arrives byte for byte, each missing directory is made once, and a second run
// with nothing changed logs in once and sends nothing.
void TestBulkPublish::wholeSiteMatchesTheServer()
{
    QFETCH(int, sessions);
    PyFtpServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
    QVERIFY(QDir(server.homePath()).mkpath(Remote));
    const PublishDestination to = destinationOf(server.serverString(), server.user());

    const PublishOutcome first = publish(to, server.password(), siteFiles(), sessions);
    QCOMPARE(first.failure.kind, OutcomeKind::None);
    QCOMPARE(first.result, PublishResult::Succeeded);
    QCOMPARE(first.logins, sessions);
    QCOMPARE(first.confirmed.size(), SitePages.size());
    for (const QString &page : SitePages)
        QCOMPARE(server.remoteFile(Remote + QLatin1Char('/') + page), contentOf(page));
    const QStringList commands = server.commands();
    QCOMPARE(countOf(commands, "STOR "), SitePages.size());
    QCOMPARE(countOf(commands, "MKD "), 5); // 2004, 2004/08, 2004/09, 2005, 2005/01
    // One change of directory per directory a session works in: never more than one per
    // directory and session, plus each failed try before a directory was made.
    QVERIFY(countOf(commands, "CWD ") <= sessions * 6 + 5);
    QVERIFY(unsentFiles(ServerRecord(to)).isEmpty());

    const PublishOutcome second = publish(to, server.password(), unsentFiles(ServerRecord(to)));
    QCOMPARE(second.result, PublishResult::Succeeded);
    QCOMPARE(second.logins, 1);
    const QStringList again = server.commands().mid(commands.size());
    QCOMPARE(countOf(again, "USER "), 1);
    QCOMPARE(countOf(again, "STOR "), 0);
}

// A server that takes two connections from an address answers the others 421: the run
// does without them.
void TestBulkPublish::serverTakingTwoSessions()
{
    PyFtpServer server(QStringLiteral("127.0.0.1"), 2);
    QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
    QVERIFY(QDir(server.homePath()).mkpath(Remote));
    const PublishOutcome outcome = publish(destinationOf(server.serverString(), server.user()),
                                           server.password(), siteFiles());
    QCOMPARE(outcome.failure.kind, OutcomeKind::None);
    QCOMPARE(outcome.result, PublishResult::Succeeded);
    QCOMPARE(outcome.logins, 2);
    QCOMPARE(outcome.refusedSessions, 2);
    for (const QString &page : SitePages)
        QCOMPARE(server.remoteFile(Remote + QLatin1Char('/') + page), contentOf(page));
}

void TestBulkPublish::resumesAfterCancel()
{
    PyFtpServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
    QVERIFY(QDir(server.homePath()).mkpath(Remote));
    const PublishDestination to = destinationOf(server.serverString(), server.user());
    QList<BulkProgress> seen;
    const PublishOutcome cut = publish(to, server.password(), unsentFiles(ServerRecord(to)), 1,
                                       [&](const BulkProgress &progress) {
                                           seen.append(progress);
                                           if (progress.filesDone == 5)
                                               m_cancel = true;
                                       });
    QCOMPARE(cut.result, PublishResult::Cancelled);
    // The files of a batch go in place together: the cut comes after the batch of the fifth.
    QVERIFY(cut.confirmed.size() >= 5);
    QVERIFY(cut.confirmed.size() < SitePages.size());
    QCOMPARE(seen.first().filesTotal, SitePages.size());
    QCOMPARE(
        seen.last().bytesDone, qint64(0) + [&] {
            qint64 bytes = 0;
            for (const QString &path : cut.confirmed)
                bytes += contentOf(path).size();
            return bytes;
        }());

    m_cancel = false;
    const QList<SiteFile> rest = unsentFiles(ServerRecord(to));
    QCOMPARE(rest.size(), SitePages.size() - cut.confirmed.size());
    for (const QString &path : cut.confirmed)
        QVERIFY(!remotePathsOf(rest).contains(path));
    const PublishOutcome resumed = publish(to, server.password(), rest);
    QCOMPARE(resumed.result, PublishResult::Succeeded);
    QCOMPARE(countOf(server.commands(), "STOR "), SitePages.size()); // none sent twice
    for (const QString &page : SitePages)
        QCOMPARE(server.remoteFile(Remote + QLatin1Char('/') + page), contentOf(page));
}

// The server closes the connection on the fourth file: the run fails with the reason, the
// three confirmed files stay recorded, and the next run sends only the rest.
void TestBulkPublish::resumesAfterDroppedConnection()
{
    ScriptedFtpServer server;
    server.script().addDirectory(QStringLiteral("/www"));
    for (int i = 0; i < 3; ++i)
        server.queueReply("STOR", ScriptedReply::asUsual());
    server.queueReply("STOR", ScriptedReply::closing("421 Shutting down\r\n"));
    const PublishDestination to = destinationOf(server.serverString(), ScriptedUser);

    const PublishOutcome cut = publish(to, ScriptedPassword, unsentFiles(ServerRecord(to)), 1);
    QCOMPARE(cut.result, PublishResult::Failed);
    QCOMPARE(cut.confirmed, (QStringList{"index.html", "kakiva.css", "year.html"}));
    QCOMPARE(cut.failure.remotePath, QStringLiteral("2004/index.html"));
    QCOMPARE(cut.failure.kind, OutcomeKind::ServerRefused);
    QCOMPARE(cut.failure.serverCode, 421);

    const QList<SiteFile> rest = unsentFiles(ServerRecord(to));
    QCOMPARE(rest.size(), SitePages.size() - 3);
    const PublishOutcome resumed = publish(to, ScriptedPassword, rest);
    QCOMPARE(resumed.failure.kind, OutcomeKind::None);
    QCOMPARE(resumed.result, PublishResult::Succeeded);
    for (const QString &page : SitePages)
        QCOMPARE(server.file(QStringLiteral("/www/") + page), contentOf(page));
    QVERIFY(unsentFiles(ServerRecord(to)).isEmpty());
}

// Data that went out but was not confirmed with a final 2xx is not recorded.
void TestBulkPublish::unconfirmedStoreIsNotRecorded()
{
    ScriptedFtpServer server;
    server.script().addDirectory(QStringLiteral("/www"));
    server.script().setTransferReply(ScriptedReply::text("451 Local error in processing\r\n"));
    const PublishDestination to = destinationOf(server.serverString(), ScriptedUser);
    const PublishOutcome outcome = publish(to, ScriptedPassword, siteFiles(), 1);
    QCOMPARE(outcome.result, PublishResult::Failed);
    QVERIFY(outcome.confirmed.isEmpty());
    QCOMPARE(outcome.failure.kind, OutcomeKind::ServerRefused);
    QCOMPARE(outcome.failure.serverCode, 451);
    QCOMPARE(ServerRecord(to).size(), 0);
    QCOMPARE(unsentFiles(ServerRecord(to)).size(), SitePages.size());
}

void TestBulkPublish::goesOnPastAFaultOfOneFile_data()
{
    QTest::addColumn<bool>("recordWritable");
    QTest::addColumn<PublishFailure>("failure");
    QTest::addColumn<QStringList>("unsent");
    // A file the server refuses fails alone: the session goes on with the others.
    QTest::newRow("file refused") << true
                                  << PublishFailure(OutcomeKind::ServerRefused,
                                                    QStringLiteral("kakiva.css"), 553)
                                  << QStringList{"kakiva.css"};
    // A record that cannot be written is told, and the site still goes out.
    QTest::newRow("sent.json cannot be written") << false << PublishFailure() << SitePages;
}

void TestBulkPublish::goesOnPastAFaultOfOneFile()
{
    QFETCH(bool, recordWritable);
    QFETCH(PublishFailure, failure);
    QFETCH(QStringList, unsent);

    ScriptedFtpServer server;
    server.script().addDirectory(QStringLiteral("/www"));
    if (recordWritable) {
        server.queueReply("STOR", ScriptedReply::asUsual());
        server.queueReply("STOR", ScriptedReply::text("553 File name not allowed\r\n"));
    } else {
        QVERIFY(QDir().mkpath(ServerRecord::filePath()));
    }
    const PublishDestination to = destinationOf(server.serverString(), ScriptedUser);
    const PublishOutcome outcome = publish(to, ScriptedPassword, siteFiles(), 1);
    QCOMPARE(outcome.result, recordWritable ? PublishResult::Failed : PublishResult::Succeeded);
    QCOMPARE(outcome.failure.kind, failure.kind);
    QCOMPARE(outcome.failure.remotePath, failure.remotePath);
    QCOMPARE(outcome.failure.serverCode, failure.serverCode);
    QCOMPARE(outcome.recordError.isEmpty(), recordWritable);
    QCOMPARE(outcome.logins, 1);
    QCOMPARE(outcome.confirmed.size(), SitePages.size() - (recordWritable ? 1 : 0));
    const QList<QByteArray> commands = server.commands();
    QCOMPARE(std::count_if(commands.begin(), commands.end(),
                           [](const QByteArray &line) { return line.startsWith("STOR "); }),
             SitePages.size());
    QStringList left = remotePathsOf(unsentFiles(ServerRecord(to)));
    left.sort();
    unsent.sort();
    QCOMPARE(left, unsent);
}

void TestBulkPublish::droppedEarlyDataTurnsClassic_data()
{
    QTest::addColumn<ScriptedFtpScript::EarlyData>("early");
    QTest::addColumn<bool>("firstSucceeds");
    // As for one session (TestPublishSession), with four sessions learning it at once.
    QTest::newRow("closed cleanly") << ScriptedFtpScript::EarlyData::Closed << false;
    QTest::newRow("reset") << ScriptedFtpScript::EarlyData::Reset << true;
}

void TestBulkPublish::droppedEarlyDataTurnsClassic()
{
    QFETCH(ScriptedFtpScript::EarlyData, early);
    QFETCH(bool, firstSucceeds);

    ScriptedFtpServer server;
    server.script().addDirectory(QStringLiteral("/www"));
    server.script().setEarlyData(early);
    const PublishDestination to = destinationOf(server.serverString(), ScriptedUser);
    const auto run = [&] {
        BulkPublish publish({to, ScriptedPassword, 2s}, siteFiles());
        return publish.run().result == PublishResult::Succeeded;
    };

    QCOMPARE(run(), firstSucceeds);
    const int drops = server.script().earlyDataDrops();
    QVERIFY(drops >= 1);
    QVERIFY(!ServerRecord(to).pipelining());

    QVERIFY(run());
    QCOMPARE(server.script().earlyDataDrops(), drops);
    for (const QString &page : SitePages)
        QCOMPARE(server.file(QStringLiteral("/www/") + page), contentOf(page));
}

// Sessions keep to a directory while it has files; one that runs out takes a directory
// nobody has begun, then half of what is left of the busiest, so each file goes once.
void TestBulkPublish::sessionsShareDirectories()
{
    QList<SiteFile> files;
    for (const char *path : {"a/1", "a/2", "a/3", "a/4", "a/5", "b/1"})
        files.append({QString(), QString::fromLatin1(path), 1, {}});
    BulkWorkQueue queue(files);
    const auto take = [&](int session) {
        const auto file = queue.take(session);
        return file ? file->remotePath : QStringLiteral("-");
    };
    QCOMPARE(take(0), "a/1");
    QCOMPARE(take(1), "b/1");
    QCOMPARE(take(1), "a/4"); // the back half of a/2..a/5
    QCOMPARE(take(0), "a/2");
    QCOMPARE(take(2), "-"); // one file left to each: not worth another change of directory
    QCOMPARE(take(1), "a/5");
    QCOMPARE(take(0), "a/3");
    QCOMPARE(take(0), "-");
    QCOMPARE(queue.pending(), 0);

    // A session that fails gives its file back, and its directory to the others.
    BulkWorkQueue again(files);
    const auto failed = again.take(0);
    again.putBack(*failed);
    again.release(0);
    QCOMPARE(again.take(1)->remotePath, "a/1");
    QCOMPARE(again.take(1)->remotePath, "a/2");
    QCOMPARE(again.pending(), 4);
}

// Over SFTP to OpenSSH's sshd, four sessions send the site byte for byte with the host key
// asked about once for all, and leave no temporary file; a second run sends only what changed.
void TestBulkPublish::sftpDestination()
{
    SshServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
    QVERIFY(server.makeRemoteDirectory(Remote));
    const PublishDestination to = destinationOf(server.serverString(), server.user());
    int questions = 0;
    const auto publish = [&](const QList<SiteFile> &files) {
        const auto ask = [&](const HostKeyQuestion &) { return ++questions > 0; };
        return BulkPublish({to, server.password(), 25s, nullptr, {{}, ask}}, files).run();
    };

    const PublishOutcome first = publish(siteFiles());
    QCOMPARE(first.failure.kind, OutcomeKind::None);
    QCOMPARE(first.logins, BulkPublish::MaxSessions);
    QCOMPARE(questions, 1);
    for (const QString &page : SitePages)
        QCOMPARE(server.remoteFile(Remote + QLatin1Char('/') + page), contentOf(page));
    const QDir august(server.homePath() + QStringLiteral("/www/2004/08"));
    QCOMPARE(august.entryList(QDir::Files | QDir::Hidden),
             (QStringList{"03.html", "17.html", "index.html"}));

    m_app->write(QStringLiteral("HTML/2004/08/17.html"), "changed");
    QCOMPARE(publish(unsentFiles(ServerRecord(to))).confirmed, QStringList{"2004/08/17.html"});
    QCOMPARE(server.remoteFile(QStringLiteral("www/2004/08/17.html")), QByteArray("changed"));
}

QTEST_GUILESS_MAIN(TestBulkPublish)
#include "TestBulkPublish.moc"
