// Publishing to an sftp:// destination through the same upload attempt and bulk publish as
// FTP, against OpenSSH's sshd: missing directories made, the pages byte for byte, the record
// of what the server holds, and no temporary file left behind.

#include "SmallSite.h"
#include "SshServer.h"
#include "TestAppDir.h"

#include "diary/EntryStore.h"
#include "pages/PageGenerator.h"
#include "pages/PagePaths.h"
#include "publish/BulkPublish.h"
#include "publish/PublishClient.h"
#include "publish/ServerRecord.h"
#include "publish/UploadAttempt.h"
#include "publish/UploadStatus.h"

#include <QDirIterator>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using namespace Kakiva;
using namespace std::chrono_literals;

namespace {

const QString Remote = QStringLiteral("www");

// Files below dir whose name starts with '.': what a store left under its temporary name.
QStringList hiddenFilesBelow(const QString &dir)
{
    QStringList hidden;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        if (it.fileName().startsWith(QLatin1Char('.')))
            hidden.append(it.filePath());
    }
    return hidden;
}

// Trusts every host key, counting the questions.
ServerIdentityTrust::Questions trustingAll(int *questions)
{
    return {{}, [questions](const HostKeyQuestion &) {
                ++*questions;
                return true;
            }};
}

} // namespace

class TestSftpPublish : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void uploadAttempt_data();
    void uploadAttempt();
    void bulkPublish();

private:
    std::optional<QTemporaryDir> m_home;
    std::optional<TestAppDir> m_app;
    std::optional<SshServer> m_server;
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
    m_server.emplace();
    QVERIFY2(m_server->isRunning(), qPrintable(m_server->errorString()));
    QVERIFY(m_server->makeRemoteDirectory(Remote));
}

void TestSftpPublish::cleanup()
{
    m_server.reset();
    m_app.reset();
}

void TestSftpPublish::uploadAttempt_data()
{
    QTest::addColumn<bool>("absolute"); // the remote directory as a path from "/"
    QTest::addColumn<QStringList>("onServer");
    QTest::addColumn<QStringList>("statuses");

    const QString moved = UploadStatus::DirectoryChanged;
    const QString page = UploadStatus::Uploading;
    QTest::newRow("year and month missing: made")
        << false << QStringList{}
        << QStringList{UploadStatus::Connected, moved, page, page, page, UploadStatus::Sent};
    QTest::newRow("absolute directory, year and month there")
        << true << QStringList{"www/2024", "www/2024/05"}
        << QStringList{UploadStatus::Connected, moved, page, moved, page, moved, page,
                       UploadStatus::Sent};
}

void TestSftpPublish::uploadAttempt()
{
    QFETCH(bool, absolute);
    QFETCH(QStringList, onServer);
    QFETCH(QStringList, statuses);

    QString error;
    QVERIFY2(DiaryWrite("2024", "05", "07", QStringLiteral("晴れ"), &error) == 0,
             qPrintable(error));
    QVERIFY2(HtmlMake("2024", "05", "07", &error) == 0, qPrintable(error));
    for (const QString &made : onServer)
        QVERIFY(m_server->makeRemoteDirectory(made));
    const QString directory = absolute ? m_server->homePath() + QLatin1Char('/') + Remote : Remote;
    writeFtpSettings(m_server->serverString(), m_server->user(), m_server->password(), directory);

    const std::unique_ptr<PublishClient> client = makePublishClient(m_server->serverString());
    client->setTimeout(20s);
    QStringList shown;
    UploadAttempt attempt(
        *client, [&](const QString &status) { shown.append(status); }, [] { return false; });
    int questions = 0;
    attempt.setTrustQuestions(trustingAll(&questions));
    QCOMPARE(attempt.run({"2024", "05", "07"}), UploadAttempt::Result::Succeeded);
    QCOMPARE(shown, statuses);
    QCOMPARE(questions, 1);

    const ServerRecord record({m_server->serverString(), m_server->user(), directory});
    for (const QString &page : {yearListPath(), monthListPath("2024"), dayListPath("2024", "05"),
                                dayPagePath("2024", "05", "07")}) {
        QCOMPARE(m_server->remoteFile(Remote + QLatin1Char('/') + remotePathOf(page)),
                 readWholeFile(page));
        QVERIFY(record.holds(remotePathOf(page), fileDigest(page)));
    }
    QCOMPARE(hiddenFilesBelow(m_server->homePath()), QStringList());
}

// Four sessions send a small site byte for byte, the host key asked about once for all; a
// second run sends only the page changed since.
void TestSftpPublish::bulkPublish()
{
    for (const QString &page : SmallSitePages)
        m_app->write(QStringLiteral("HTML/") + page, smallSiteContentOf(page));
    const PublishDestination to{m_server->serverString(), m_server->user(), Remote};
    int questions = 0;
    const auto publish = [&](const QList<SiteFile> &files) {
        BulkPublish run(to, m_server->password(), files);
        run.setTimeout(20s);
        run.setTrustQuestions(trustingAll(&questions));
        return run.run();
    };

    const BulkOutcome first = publish(siteFiles());
    QCOMPARE(first.reason, QString());
    QCOMPARE(first.logins, BulkPublish::MaxSessions);
    QCOMPARE(questions, 1);
    for (const QString &page : SmallSitePages)
        QCOMPARE(m_server->remoteFile(Remote + QLatin1Char('/') + page), smallSiteContentOf(page));
    QCOMPARE(hiddenFilesBelow(m_server->homePath()), QStringList());

    m_app->write(QStringLiteral("HTML/2004/08/17.html"), "changed");
    const BulkOutcome second = publish(unsentFiles(ServerRecord(to)));
    QCOMPARE(second.confirmed, QStringList{"2004/08/17.html"});
    QCOMPARE(m_server->remoteFile(QStringLiteral("www/2004/08/17.html")), QByteArray("changed"));
}

QTEST_MAIN(TestSftpPublish)
#include "TestSftpPublish.moc"
