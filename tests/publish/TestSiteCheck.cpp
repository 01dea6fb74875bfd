// The check of the site against a real server: a page deleted by hand and one truncated by
// hand are found and sent again by the next publish of unsent files; a temporary Kakiva left
// behind is removed; a file Kakiva never sent is left where it is.

#include "PyFtpServer.h"
#include "ScriptedFtpServer.h"
#include "SshServer.h"
#include "TestAppDir.h"
#include "TestCertificates.h"
#include "UnpackedFtpServer.h"
#include "VsftpdServer.h"

#include "publish/BulkPublish.h"
#include "publish/ServerRecord.h"
#include "publish/SiteCheck.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <memory>
#include <optional>

using namespace Kakiva;
using namespace std::chrono_literals;

namespace {

const QString Remote = QStringLiteral("www");

const QStringList SitePages{"year.html",       "index.html",         "kakiva.css",
                            "2004/index.html", "2004/08/index.html", "2004/08/03.html",
                            "2004/08/17.html", "2004/09/index.html", "2004/09/01.html"};

QByteArray contentOf(const QString &page)
{
    return page.toUtf8() + QByteArray("\r\n<p>\x82\xa0</p>\n").repeated(page.size());
}

enum class Peer
{
    PyFtpMlsd,
    PyFtpList,
    PyFtpTls,
    Vsftpd, // LIST only, TLS with session reuse; needs root
    Sshd,
    // Unpacked from Debian's packages; need root.
    Proftpd,
    ProftpdWithDigests,
    PureFtpd,
};

// One of the real servers, as the check sees it: where it is, how to log in, and its files
// on disk, to change behind Kakiva's back.
class Server
{
public:
    Server(Peer peer, const TestCertificates &certificates)
    {
        const TestCertificates::Files files = certificates.signedByCa();
        if (peer == Peer::Proftpd || peer == Peer::ProftpdWithDigests || peer == Peer::PureFtpd)
            m_unpacked = std::make_unique<UnpackedFtpServer>(
                peer == Peer::Proftpd              ? UnpackedFtpServer::Kind::Proftpd
                : peer == Peer::ProftpdWithDigests ? UnpackedFtpServer::Kind::ProftpdWithDigests
                                                   : UnpackedFtpServer::Kind::PureFtpd);
        else if (peer == Peer::Sshd)
            m_ssh = std::make_unique<SshServer>();
        else if (peer == Peer::Vsftpd)
            m_vsftpd = std::make_unique<VsftpdServer>(files.certificate, files.key, false);
        else if (peer == Peer::PyFtpTls)
            m_ftp = std::make_unique<PyFtpServer>(QStringLiteral("127.0.0.1"),
                                                  PyFtpServer::Tls{files.certificate, files.key});
        else
            m_ftp = std::make_unique<PyFtpServer>(QStringLiteral("127.0.0.1"), 0,
                                                  peer == Peer::PyFtpMlsd);
    }

    bool isRunning() const
    {
        return m_unpacked ? m_unpacked->isRunning()
               : m_ftp    ? m_ftp->isRunning()
               : m_vsftpd ? m_vsftpd->isRunning()
                          : m_ssh->isRunning();
    }
    QString errorString() const
    {
        return m_unpacked ? m_unpacked->errorString()
               : m_ftp    ? m_ftp->errorString()
               : m_vsftpd ? m_vsftpd->errorString()
                          : m_ssh->errorString();
    }
    const UnpackedFtpServer *unpacked() const { return m_unpacked.get(); }
    bool makeRemote()
    {
        if (m_ssh)
            return m_ssh->makeRemoteDirectory(Remote);
        if (!QDir(home()).mkpath(Remote))
            return false;
        // vsftpd's user must own what it writes into, and so must the unpacked servers'.
        const QString owner = m_vsftpd ? m_vsftpd->user() : QStringLiteral("nobody");
        return (!m_vsftpd && !m_unpacked) ||
               QProcess::execute(QStringLiteral("chown"), {owner, onDisk(QString())}) == 0;
    }
    QString home() const
    {
        return m_unpacked ? m_unpacked->homePath()
               : m_ftp    ? m_ftp->homePath()
               : m_vsftpd ? m_vsftpd->homePath()
                          : m_ssh->homePath();
    }
    PublishRequest request(const std::atomic_bool *cancel) const
    {
        const QString server = m_unpacked ? m_unpacked->serverString()
                               : m_ftp    ? m_ftp->serverString()
                               : m_vsftpd ? m_vsftpd->serverString()
                                          : m_ssh->serverString();
        const QString user = m_unpacked ? m_unpacked->user()
                             : m_ftp    ? m_ftp->user()
                             : m_vsftpd ? m_vsftpd->user()
                                        : m_ssh->user();
        const QString password = m_unpacked ? m_unpacked->password()
                                 : m_ftp    ? m_ftp->password()
                                 : m_vsftpd ? m_vsftpd->password()
                                            : m_ssh->password();
        const auto trust = [](const HostKeyQuestion &) { return true; };
        return {{server, user, Remote}, password, 25s, cancel, {{}, trust}};
    }
    QString onDisk(const QString &page) const
    {
        return home() + QLatin1Char('/') + Remote + QLatin1Char('/') + page;
    }
    bool write(const QString &page, const QByteArray &bytes)
    {
        if (m_ssh)
            return m_ssh->writeRemoteFile(Remote + QLatin1Char('/') + page, bytes);
        QFile file(onDisk(page));
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               file.write(bytes) == bytes.size();
    }
    QByteArray read(const QString &page) const
    {
        QFile file(onDisk(page));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    std::unique_ptr<PyFtpServer> m_ftp;
    std::unique_ptr<VsftpdServer> m_vsftpd;
    std::unique_ptr<SshServer> m_ssh;
    std::unique_ptr<UnpackedFtpServer> m_unpacked;
};

QStringList unsentPaths(const PublishDestination &to)
{
    QStringList paths;
    for (const SiteFile &file : unsentFiles(ServerRecord(to)))
        paths.append(file.remotePath);
    paths.sort();
    return paths;
}

} // namespace

Q_DECLARE_METATYPE(Peer)

class TestSiteCheck : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void findsWhatChangedBehindKakiva_data();
    void findsWhatChangedBehindKakiva();
    void monthDirectoryDeletedByHand();
    void missingRemoteDirectoryFails();
    void cancelledCheckMarksNothing();
    void digestsWhereTheServerTellsThem();
    void largeDirectoryIsReadWhole_data();
    void largeDirectoryIsReadWhole();

private:
    std::unique_ptr<TestAppDir> m_app;
    std::atomic_bool m_cancel{false};
    std::optional<TestCertificates> m_certificates;
};

void TestSiteCheck::initTestCase()
{
    m_certificates.emplace();
    QVERIFY2(m_certificates->isReady(), qPrintable(m_certificates->errorString()));
    m_certificates->trustAuthority();
}

void TestSiteCheck::init()
{
    m_app = std::make_unique<TestAppDir>();
    m_cancel = false;
    for (const QString &page : SitePages)
        m_app->write(QStringLiteral("HTML/") + page, contentOf(page));
}

void TestSiteCheck::cleanup()
{
    m_app.reset();
}

void TestSiteCheck::findsWhatChangedBehindKakiva_data()
{
    QTest::addColumn<Peer>("peer");
    QTest::newRow("FTP with MLSD") << Peer::PyFtpMlsd;
    QTest::newRow("FTP with LIST only") << Peer::PyFtpList;
    QTest::newRow("FTP over TLS") << Peer::PyFtpTls;
    QTest::newRow("vsftpd") << Peer::Vsftpd;
    QTest::newRow("SFTP") << Peer::Sshd;
    QTest::newRow("proftpd") << Peer::Proftpd;
    QTest::newRow("proftpd with mod_digest") << Peer::ProftpdWithDigests;
    QTest::newRow("pure-ftpd") << Peer::PureFtpd;
}

void TestSiteCheck::findsWhatChangedBehindKakiva()
{
    QFETCH(Peer, peer);
    if (peer == Peer::Vsftpd && VsftpdServer::needsRoot())
        QSKIP("vsftpd logs in a user of its own, which takes root to make");
    Server server(peer, *m_certificates);
    if (server.unpacked() && server.unpacked()->unavailable())
        QSKIP(qPrintable(server.errorString()));
    QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
    QVERIFY(server.makeRemote());
    const PublishRequest request = server.request(&m_cancel);
    const PublishDestination &to = request.destination;
    QCOMPARE(BulkPublish(request, siteFiles()).run().result, PublishResult::Succeeded);
    QVERIFY(unsentPaths(to).isEmpty());

    // Behind Kakiva's back: one page deleted, one cut short, a temporary of a cut-short
    // upload and the user's own file.
    QVERIFY(QFile::remove(server.onDisk(QStringLiteral("2004/08/17.html"))));
    const QByteArray whole = contentOf(QStringLiteral("2004/09/01.html"));
    QVERIFY(server.write(QStringLiteral("2004/09/01.html"), whole.left(whole.size() / 2)));
    QVERIFY(server.write(QStringLiteral("2004/08/.kakiva-00004711-1.tmp"), "half a pa"));
    QVERIFY(server.write(QStringLiteral("my photo.jpg"), "JFIF"));

    SiteCheck check(request, siteFiles());
    QList<SiteCheckProgress> progress;
    check.setProgressSink([&](const SiteCheckProgress &p) { progress.append(p); });
    const PublishOutcome outcome = check.run();
    QCOMPARE(outcome.failure.kind, OutcomeKind::None);
    QCOMPARE(outcome.result, PublishResult::Succeeded);
    const SiteCheckReport &report = check.report();
    QVERIFY(report.complete);
    QCOMPARE(report.directoriesListed, 4); // the remote directory, 2004, 2004/08, 2004/09
    QCOMPARE(report.differences.missing, QStringList{"2004/08/17.html"});
    QCOMPARE(report.differences.changed, QStringList{"2004/09/01.html"});
    QCOMPARE(report.differences.temporaries, QStringList{"2004/08/.kakiva-00004711-1.tmp"});
    QCOMPARE(report.differences.unknown, QStringList{"my photo.jpg"});
    QVERIFY(report.temporariesLeft.isEmpty());
    QVERIFY(!QFile::exists(server.onDisk(QStringLiteral("2004/08/.kakiva-00004711-1.tmp"))));
    QCOMPARE(server.read(QStringLiteral("my photo.jpg")), QByteArray("JFIF"));
    QCOMPARE(progress.constLast().directoriesDone, 4);
    // The digests were really asked where the server tells them.
    if (peer == Peer::Proftpd || peer == Peer::ProftpdWithDigests) {
        const QStringList hashes =
            server.unpacked()->commands().filter(QRegularExpression("^HASH "));
        QCOMPARE(hashes.isEmpty(), peer == Peer::Proftpd);
    }
    qInfo("check of %d directories: %d round trips, %d commands", report.directoriesListed,
          outcome.wire.roundTrips, outcome.wire.commandsSent);

    // The two pages count as unsent now, and the next publish of unsent files mends them.
    QCOMPARE(unsentPaths(to), (QStringList{"2004/08/17.html", "2004/09/01.html"}));
    QCOMPARE(BulkPublish(request, unsentFiles(ServerRecord(to))).run().result,
             PublishResult::Succeeded);
    QCOMPARE(server.read(QStringLiteral("2004/08/17.html")),
             contentOf(QStringLiteral("2004/08/17.html")));
    QCOMPARE(server.read(QStringLiteral("2004/09/01.html")), whole);
    QVERIFY(unsentPaths(to).isEmpty());

    // And a check now finds the pages as sent.
    SiteCheck again(request, siteFiles());
    QCOMPARE(again.run().result, PublishResult::Succeeded);
    QVERIFY(again.report().differences.missing.isEmpty());
    QVERIFY(again.report().differences.changed.isEmpty());
    QVERIFY(again.report().differences.temporaries.isEmpty());
    QCOMPARE(again.report().differences.unknown, QStringList{"my photo.jpg"});
}

void TestSiteCheck::monthDirectoryDeletedByHand()
{
    Server server(Peer::PyFtpMlsd, *m_certificates);
    QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
    QVERIFY(server.makeRemote());
    const PublishRequest request = server.request(&m_cancel);
    QCOMPARE(BulkPublish(request, siteFiles()).run().result, PublishResult::Succeeded);
    QVERIFY(QDir(server.onDisk(QStringLiteral("2004/09"))).removeRecursively());

    SiteCheck check(request, siteFiles());
    QCOMPARE(check.run().result, PublishResult::Succeeded);
    QCOMPARE(check.report().differences.missing,
             (QStringList{"2004/09/01.html", "2004/09/index.html"}));
    QCOMPARE(unsentPaths(request.destination),
             (QStringList{"2004/09/01.html", "2004/09/index.html"}));
    QCOMPARE(BulkPublish(request, unsentFiles(ServerRecord(request.destination))).run().result,
             PublishResult::Succeeded);
    QCOMPARE(server.read(QStringLiteral("2004/09/01.html")),
             contentOf(QStringLiteral("2004/09/01.html")));
}

// Without the remote directory the setting is wrong, not every page: nothing is marked.
void TestSiteCheck::missingRemoteDirectoryFails()
{
    Server server(Peer::PyFtpMlsd, *m_certificates);
    QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
    QVERIFY(server.makeRemote());
    const PublishRequest request = server.request(&m_cancel);
    QCOMPARE(BulkPublish(request, siteFiles()).run().result, PublishResult::Succeeded);
    QVERIFY(QDir(server.onDisk(QString())).removeRecursively());

    SiteCheck check(request, siteFiles());
    const PublishOutcome outcome = check.run();
    QCOMPARE(outcome.result, PublishResult::Failed);
    QCOMPARE(outcome.failure.kind, OutcomeKind::DirectoryUnreachable);
    QVERIFY(!check.report().complete);
    QVERIFY(unsentPaths(request.destination).isEmpty());
}

void TestSiteCheck::cancelledCheckMarksNothing()
{
    Server server(Peer::PyFtpMlsd, *m_certificates);
    QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
    QVERIFY(server.makeRemote());
    const PublishRequest request = server.request(&m_cancel);
    QCOMPARE(BulkPublish(request, siteFiles()).run().result, PublishResult::Succeeded);
    QVERIFY(QFile::remove(server.onDisk(QStringLiteral("2004/08/17.html"))));

    SiteCheck check(request, siteFiles());
    check.setProgressSink([&](const SiteCheckProgress &p) {
        if (p.directoriesDone == 1)
            m_cancel = true;
    });
    QCOMPARE(check.run().result, PublishResult::Cancelled);
    QVERIFY(!check.report().complete);
    QVERIFY(unsentPaths(request.destination).isEmpty());
}

// A page of the right size but other bytes is found only by its digest; HASH is asked only
// for the pages compared.
void TestSiteCheck::digestsWhereTheServerTellsThem()
{
    ScriptedFtpServer server;
    QVERIFY(server.isListening());
    const PublishRequest request{{server.serverString(), QStringLiteral("diarist"), Remote},
                                 QStringLiteral("pw"),
                                 10s,
                                 &m_cancel,
                                 {}};
    ServerRecord record(request.destination);
    QStringList listing;
    for (const QString &page : {QStringLiteral("index.html"), QStringLiteral("year.html")}) {
        const QByteArray content = contentOf(page);
        QVERIFY(
            record.confirm(page, QCryptographicHash::hash(content, QCryptographicHash::Sha256)));
        listing.append(QStringLiteral("type=file;size=%1; %2").arg(content.size()).arg(page));
    }
    listing.append(QStringLiteral("type=file;size=3; kakiva.css")); // unsent: not compared
    server.script().setListing(listing.join(QStringLiteral("\r\n")).toUtf8() + "\r\n");
    server.setReply("FEAT", ScriptedReply::text("211-Features:\r\n MLST type*;size*;\r\n"
                                                " HASH SHA-256*\r\n211 End\r\n"));
    const QByteArray right = QCryptographicHash::hash(contentOf(QStringLiteral("index.html")),
                                                      QCryptographicHash::Sha256)
                                 .toHex();
    server.queueReply("HASH", ScriptedReply::text("213 SHA-256 0-1 " + right + " index.html\r\n"));
    server.queueReply(
        "HASH", ScriptedReply::text("213 SHA-256 0-1 " + QByteArray(64, 'f') + " year.html\r\n"));

    SiteCheck check(request, siteFiles());
    QCOMPARE(check.run().result, PublishResult::Succeeded);
    QVERIFY(check.report().differences.missing.isEmpty());
    QCOMPARE(check.report().differences.changed, QStringList{"year.html"});
    QList<QByteArray> hashes;
    for (const QByteArray &command : server.commands()) {
        if (command.startsWith("HASH "))
            hashes.append(command);
    }
    QCOMPARE(hashes, (QList<QByteArray>{"HASH www/index.html", "HASH www/year.html"}));
    QVERIFY(!ServerRecord(request.destination)
                 .holds(QStringLiteral("year.html"), record.digestOf(QStringLiteral("year.html"))));
}

void TestSiteCheck::largeDirectoryIsReadWhole_data()
{
    QTest::addColumn<Peer>("peer");
    QTest::newRow("FTP with MLSD") << Peer::PyFtpMlsd;
    QTest::newRow("SFTP") << Peer::Sshd;
}

// More names than one round of reading brings: every one is seen, none twice.
void TestSiteCheck::largeDirectoryIsReadWhole()
{
    QFETCH(Peer, peer);
    Server server(peer, *m_certificates);
    QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
    QVERIFY(server.makeRemote());
    const PublishRequest request = server.request(&m_cancel);
    QCOMPARE(BulkPublish(request, siteFiles()).run().result, PublishResult::Succeeded);
    QStringList foreign;
    for (int i = 0; i < 450; ++i) {
        foreign.append(QStringLiteral("photo-%1.jpg").arg(i, 3, 10, QLatin1Char('0')));
        QVERIFY(server.write(foreign.constLast(), "JFIF"));
    }

    SiteCheck check(request, siteFiles());
    QCOMPARE(check.run().result, PublishResult::Succeeded);
    QCOMPARE(check.report().differences.unknown, foreign);
    QVERIFY(check.report().differences.missing.isEmpty());
}

QTEST_GUILESS_MAIN(TestSiteCheck)
#include "TestSiteCheck.moc"
