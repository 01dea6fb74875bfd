// Publishing to an sftp:// destination through the same upload attempt and bulk publish as
// FTP, against OpenSSH's sshd: the stages and their status texts, the pages byte for byte,
// missing directories made, the record of what the server holds, and no temporary file left.

#include "SmallSite.h"
#include "SshServer.h"
#include "TestAppDir.h"

#include "diary/EntryStore.h"
#include "pages/PageGenerator.h"
#include "pages/PagePaths.h"
#include "publish/BulkPublish.h"
#include "publish/PublishClient.h"
#include "publish/ServerIdentityTrust.h"
#include "publish/ServerRecord.h"
#include "publish/SiteInventory.h"
#include "publish/UploadAttempt.h"
#include "publish/UploadStatus.h"

#include <QDirIterator>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using namespace Kakiva;
using namespace std::chrono_literals;
using Result = UploadAttempt::Result;

namespace {

const QString Year = QStringLiteral("2024");
const QString Month = QStringLiteral("05");
const QString Day = QStringLiteral("07");
const QString Remote = QStringLiteral("www");

// Files below dir whose name starts with '.': what a store left under its temporary name.
QStringList hiddenFilesBelow(const QString &dir)
{
    QStringList hidden;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (it.fileName().startsWith(QLatin1Char('.')))
            hidden.append(path);
    }
    return hidden;
}

enum class Login
{
    Right,
    WrongPassword,
};

} // namespace

Q_DECLARE_METATYPE(Login)
Q_DECLARE_METATYPE(Result)

class TestSftpPublish : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void uploadAttempt_data();
    void uploadAttempt();
    void bulkPublish_data();
    void bulkPublish();
    void hostKeyDecisions_data();
    void hostKeyDecisions();

private:
    std::optional<QTemporaryDir> m_home;
    std::optional<TestAppDir> m_app;
    std::optional<SshServer> m_server;
    std::atomic_bool m_cancel{false};
};

void TestSftpPublish::initTestCase()
{
    // The user's own known_hosts is the test's, never the account's.
    m_home.emplace();
    qputenv("HOME", QFile::encodeName(m_home->path()));
}

void TestSftpPublish::init()
{
    m_app.emplace();
    if (QTest::currentTestFunction() == QByteArrayView("hostKeyDecisions"))
        return;
    m_cancel = false;
    m_server.emplace();
    QVERIFY2(m_server->isRunning(), qPrintable(m_server->errorString()));
}

void TestSftpPublish::cleanup()
{
    m_server.reset();
    m_app.reset();
}

void TestSftpPublish::uploadAttempt_data()
{
    QTest::addColumn<QString>("directory"); // "~" stands for the login directory's path
    QTest::addColumn<QStringList>("onServer");
    QTest::addColumn<Login>("login");
    QTest::addColumn<bool>("trusted");
    QTest::addColumn<QStringList>("statuses");
    QTest::addColumn<Result>("result");

    const QString connected = UploadStatus::Connected;
    const QString moved = UploadStatus::DirectoryChanged;
    const QString page = UploadStatus::Uploading;
    const QString sent = UploadStatus::Sent;
    const QStringList made{connected, moved, page, page, page, sent};

    QTest::newRow("year and month missing: made")
        << Remote << QStringList{Remote} << Login::Right << true << made << Result::Succeeded;
    QTest::newRow("year and month exist")
        << Remote << QStringList{Remote, "www/2024", "www/2024/05"} << Login::Right << true
        << QStringList{connected, moved, page, moved, page, moved, page, sent} << Result::Succeeded;
    QTest::newRow("absolute directory") << QStringLiteral("~/www") << QStringList{Remote}
                                        << Login::Right << true << made << Result::Succeeded;
    QTest::newRow("remote directory missing")
        << Remote << QStringList{} << Login::Right << true
        << QStringList{connected, UploadStatus::Error} << Result::Failed;
    QTest::newRow("wrong password") << Remote << QStringList{Remote} << Login::WrongPassword << true
                                    << QStringList{UploadStatus::ConnectError} << Result::Failed;
    QTest::newRow("host key not trusted")
        << Remote << QStringList{Remote} << Login::Right << false
        << QStringList{UploadStatus::HostKeyError} << Result::HostKeyRefused;
}

void TestSftpPublish::uploadAttempt()
{
    QFETCH(QString, directory);
    QFETCH(QStringList, onServer);
    QFETCH(Login, login);
    QFETCH(bool, trusted);
    QFETCH(QStringList, statuses);
    QFETCH(Result, result);

    for (const QString &day : {QStringLiteral("03"), Day}) {
        QString error;
        QVERIFY2(DiaryWrite(Year, Month, day, QStringLiteral("晴れ"), &error) == 0,
                 qPrintable(error));
        QVERIFY2(HtmlMake(Year, Month, day, &error) == 0, qPrintable(error));
    }
    for (const QString &made : onServer)
        QVERIFY(m_server->makeRemoteDirectory(made));
    directory.replace(QLatin1Char('~'), m_server->homePath());
    const QString password = login == Login::Right ? m_server->password() : QStringLiteral("wrong");
    writeFtpSettings(m_server->serverString(), m_server->user(), password, directory);

    const std::unique_ptr<PublishClient> client = makePublishClient(m_server->serverString());
    client->setCancelFlag(&m_cancel);
    client->setTimeout(20s);
    QStringList shown;
    UploadAttempt attempt(
        *client, [&](const QString &status) { shown.append(status); },
        [this] { return m_cancel.load(); });
    int questions = 0;
    attempt.setTrustQuestions({{}, [&](const HostKeyQuestion &) {
                                   ++questions;
                                   return trusted;
                               }});
    QCOMPARE(attempt.run({Year, Month, Day}), result);
    QCOMPARE(shown, statuses);
    QCOMPARE(questions, 1); // before the login, whatever comes after

    const QStringList pages{yearListPath(), monthListPath(Year), dayListPath(Year, Month),
                            dayPagePath(Year, Month, Day)};
    const ServerRecord record({m_server->serverString(), m_server->user(), directory});
    for (const QString &page : pages) {
        const QString remote = Remote + QLatin1Char('/') + remotePathOf(page);
        if (result != Result::Succeeded) {
            QVERIFY(!m_server->remoteExists(remote));
            continue;
        }
        QCOMPARE(m_server->remoteFile(remote), readWholeFile(page));
        QVERIFY(record.holds(remotePathOf(page), fileDigest(page)));
    }
    QCOMPARE(hiddenFilesBelow(m_server->homePath()), QStringList());
}

void TestSftpPublish::bulkPublish_data()
{
    QTest::addColumn<int>("sessions");
    QTest::newRow("one session") << 1;
    QTest::newRow("four sessions") << 4;
}

// Every file arrives byte for byte, the host key is asked about once for all sessions, and a
// second run with nothing changed sends nothing.
void TestSftpPublish::bulkPublish()
{
    QFETCH(int, sessions);
    for (const QString &page : SmallSitePages)
        m_app->write(QStringLiteral("HTML/") + page, smallSiteContentOf(page));
    QVERIFY(m_server->makeRemoteDirectory(Remote));
    const PublishDestination to{m_server->serverString(), m_server->user(), Remote};
    int questions = 0;
    const auto publish = [&](const QList<SiteFile> &files) {
        BulkPublish run(to, m_server->password(), files);
        run.setCancelFlag(&m_cancel);
        run.setTimeout(20s);
        run.setMaxSessions(sessions);
        run.setTrustQuestions({{}, [&](const HostKeyQuestion &) {
                                   ++questions;
                                   return true;
                               }});
        return run.run();
    };

    const BulkOutcome first = publish(siteFiles());
    QCOMPARE(first.reason, QString());
    QCOMPARE(first.result, BulkOutcome::Result::Succeeded);
    QCOMPARE(first.logins, sessions);
    QCOMPARE(questions, 1);
    for (const QString &page : SmallSitePages)
        QCOMPARE(m_server->remoteFile(Remote + QLatin1Char('/') + page), smallSiteContentOf(page));
    QCOMPARE(hiddenFilesBelow(m_server->homePath()), QStringList());
    QVERIFY(unsentFiles(ServerRecord(to)).isEmpty());

    m_app->write(QStringLiteral("HTML/2004/08/17.html"), "changed");
    const BulkOutcome second = publish(unsentFiles(ServerRecord(to)));
    QCOMPARE(second.result, BulkOutcome::Result::Succeeded);
    QCOMPARE(second.confirmed, QStringList{"2004/08/17.html"});
    QCOMPARE(m_server->remoteFile(QStringLiteral("www/2004/08/17.html")), QByteArray("changed"));
    QCOMPARE(questions, 1);
}

void TestSftpPublish::hostKeyDecisions_data()
{
    // The keys the sessions of one run meet, in order, and for each what the user would say.
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QString>("answers");   // what the user would say: y, n, or - (cancelled)
    QTest::addColumn<QString>("decisions"); // what each question decided: y or n
    QTest::addColumn<int>("asked");
    QTest::addColumn<QString>("refusal"); // the status of the run's refusal

    const QString none;
    const QString hostKeyError = UploadStatus::HostKeyError;
    QTest::newRow("trusted once: the other sessions are not asked")
        << QStringList{"SHA256:a", "SHA256:a", "SHA256:a"} << "yyy"
        << "yyy" << 1 << none;
    QTest::newRow("refused once: no session asks again")
        << QStringList{"SHA256:a", "SHA256:a"} << "ny"
        << "nn" << 1 << hostKeyError;
    QTest::newRow("another key after a trusted one is asked about")
        << QStringList{"SHA256:a", "SHA256:b"} << "yn"
        << "yn" << 2 << hostKeyError;
    QTest::newRow("cancelled: no refusal, nothing trusted") << QStringList{"SHA256:a"} << "-"
                                                            << "n" << 0 << none;
}

// The decisions of one run on host keys, as its sessions meet them one after another.
void TestSftpPublish::hostKeyDecisions()
{
    QFETCH(QStringList, keys);
    QFETCH(QString, answers);
    QFETCH(QString, decisions);
    QFETCH(int, asked);
    QFETCH(QString, refusal);

    int questions = 0;
    qsizetype next = 0;
    ServerIdentityTrust trust({{},
                               [&](const HostKeyQuestion &) {
                                   ++questions;
                                   return answers.at(next) == QLatin1Char('y');
                               }},
                              [&] { return answers.at(next) == QLatin1Char('-'); });
    const ServerTrust decide = trust.decisions();
    QString decided;
    for (next = 0; next < keys.size(); ++next) {
        HostKeyQuestion question;
        question.fingerprint = keys.at(next);
        decided += decide.hostKey(question) ? QLatin1Char('y') : QLatin1Char('n');
    }
    QCOMPARE(decided, decisions);
    QCOMPARE(questions, asked);
    QCOMPARE(refusalStatus(trust.refusal()), refusal);
}

QTEST_MAIN(TestSftpPublish)
#include "TestSftpPublish.moc"
