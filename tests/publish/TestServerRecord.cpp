// The record of what the server holds, and the unsent files of the site it tells apart.

#include "SiteFilePaths.h"
#include "TestAppDir.h"
#include "WriteFault.h"

#include "pages/PagePaths.h"
#include "publish/RemotePaths.h"
#include "publish/ServerRecord.h"
#include "publish/SiteInventory.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <memory>

using namespace Kakiva;

namespace {

const PublishDestination Home{QStringLiteral("ftp.example.jp"), QStringLiteral("diarist"),
                              QStringLiteral("www")};

QByteArray digestOfText(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

} // namespace

class TestServerRecord : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_app = std::make_unique<TestAppDir>(); }
    void cleanup() { m_app.reset(); }

    void survivesRestart();
    void keyedByDestination_data();
    void keyedByDestination();
    void failedWriteKeepsTheRecord();
    void damagedRecordReadsEmpty();

    void unsentAreThoseTheServerLacks();
    void nothingUnsentWithoutServer();
    void unsentDaysOfAMonth();
    void directoryArgument_data();
    void directoryArgument();

private:
    // Writes a page of the HTML tree and returns its full path.
    QString page(const QString &relative, const QByteArray &bytes)
    {
        return m_app->write(QStringLiteral("HTML/") + relative, bytes);
    }

    std::unique_ptr<TestAppDir> m_app;
};

void TestServerRecord::survivesRestart()
{
    {
        ServerRecord record(Home);
        QVERIFY(record.confirm(QStringLiteral("year.html"), digestOfText("a")));
        // A second instance, as the upload window and the calendar each hold one.
        ServerRecord other(Home);
        QVERIFY(other.useClassicOrder());
        QVERIFY(!other.pipelining());
        // Confirming through the first one keeps what the second one learnt.
        QVERIFY(record.confirm(QStringLiteral("2004/08/17.html"), digestOfText("b")));
        QVERIFY(other.confirm(QStringLiteral("2004/index.html"), digestOfText("c")));
    }
    QVERIFY(QFile::exists(m_app->filePath(QStringLiteral("sent.json"))));
    const ServerRecord reread(Home);
    QCOMPARE(reread.size(), 3);
    QVERIFY(!reread.pipelining());
    QVERIFY(reread.holds(QStringLiteral("year.html"), digestOfText("a")));
    QVERIFY(reread.holds(QStringLiteral("2004/08/17.html"), digestOfText("b")));
    QVERIFY(reread.holds(QStringLiteral("2004/index.html"), digestOfText("c")));
    QVERIFY(!reread.holds(QStringLiteral("year.html"), digestOfText("changed")));
    QVERIFY(!reread.holds(QStringLiteral("2004/08/18.html"), QByteArray()));
}

void TestServerRecord::keyedByDestination_data()
{
    QTest::addColumn<PublishDestination>("asked");
    QTest::addColumn<bool>("held");
    QTest::newRow("same destination") << Home << true;
    QTest::newRow("other server") << PublishDestination{"ftp.example.com", Home.user,
                                                        Home.directory}
                                  << false;
    QTest::newRow("other user") << PublishDestination{Home.server, "guest", Home.directory}
                                << false;
    QTest::newRow("other directory")
        << PublishDestination{Home.server, Home.user, "www/diary"} << false;
}

void TestServerRecord::keyedByDestination()
{
    QFETCH(PublishDestination, asked);
    QFETCH(bool, held);
    QVERIFY(ServerRecord(Home).confirm(QStringLiteral("year.html"), digestOfText("a")));
    QVERIFY(ServerRecord(Home).useClassicOrder());
    // Another destination's confirmation leaves this one's alone.
    const PublishDestination elsewhere{"ftp.elsewhere.jp", "x", ""};
    QVERIFY(ServerRecord(elsewhere).confirm(QStringLiteral("kakiva.css"), digestOfText("z")));

    const ServerRecord record(asked);
    QCOMPARE(record.holds(QStringLiteral("year.html"), digestOfText("a")), held);
    QCOMPARE(record.pipelining(), !held);
    QVERIFY(!record.holds(QStringLiteral("kakiva.css"), digestOfText("z")));
    QVERIFY(ServerRecord(elsewhere).holds(QStringLiteral("kakiva.css"), digestOfText("z")));
}

// The record is written whole or not at all: a failed write (a disk that fills up) keeps
// what was confirmed before.
void TestServerRecord::failedWriteKeepsTheRecord()
{
    ServerRecord record(Home);
    QVERIFY(record.confirm(QStringLiteral("year.html"), digestOfText("a")));
    const QByteArray before = m_app->read(QStringLiteral("sent.json"));
    QString error;
    bool written = true;
    {
        const WriteFault full(WriteFault::DiskFull, {}, before.size() + 8);
        written = record.confirm(QStringLiteral("2004/index.html"), digestOfText("b"), &error);
    }
    QVERIFY(!written);
    verifyErrorNames(error, ServerRecord::filePath());
    QCOMPARE(m_app->read(QStringLiteral("sent.json")), before);
    QVERIFY(!ServerRecord(Home).holds(QStringLiteral("2004/index.html"), digestOfText("b")));
    QVERIFY(ServerRecord(Home).holds(QStringLiteral("year.html"), digestOfText("a")));
}

void TestServerRecord::damagedRecordReadsEmpty()
{
    page(QStringLiteral("year.html"), "years");
    m_app->write(QStringLiteral("sent.json"), "{\"destinations\": [ {\"server\": ");
    const ServerRecord record(Home);
    QCOMPARE(record.size(), 0);
    QCOMPARE(remotePathsOf(unsentFiles(record)), QStringList{"year.html"});
    // The next confirmation replaces the damaged file with a good one.
    QVERIFY(ServerRecord(Home).confirm(QStringLiteral("year.html"), digestOfText("years")));
    QVERIFY(unsentFiles(ServerRecord(Home)).isEmpty());
}

void TestServerRecord::unsentAreThoseTheServerLacks()
{
    page(QStringLiteral("year.html"), "years");
    page(QStringLiteral("kakiva.css"), "css");
    page(QStringLiteral("index.html"), "root");
    page(QStringLiteral("2004/index.html"), "months");
    page(QStringLiteral("2004/08/index.html"), "days");
    page(QStringLiteral("2004/08/17.html"), "day 17");
    page(QStringLiteral("2004/08/03.html"), "day 3");
    page(QStringLiteral("2004/12/24.html"), "day 24");
    page(QStringLiteral("2004/08/.hidden"), "not part of the site");

    ServerRecord record(Home);
    QCOMPARE(
        remotePathsOf(unsentFiles(record)),
        (QStringList{"index.html", "kakiva.css", "year.html", "2004/index.html", "2004/08/03.html",
                     "2004/08/17.html", "2004/08/index.html", "2004/12/24.html"}));
    QVERIFY(record.confirm(QStringLiteral("kakiva.css"), digestOfText("css")));
    QVERIFY(record.confirm(QStringLiteral("2004/08/17.html"), digestOfText("day 17")));
    QVERIFY(record.confirm(QStringLiteral("2004/12/24.html"), digestOfText("old day 24")));
    page(QStringLiteral("2004/08/03.html"), "day 3"); // rewritten with the same bytes

    const QList<SiteFile> unsent = unsentFiles(ServerRecord(Home));
    QCOMPARE(remotePathsOf(unsent),
             (QStringList{"index.html", "year.html", "2004/index.html", "2004/08/03.html",
                          "2004/08/index.html", "2004/12/24.html"}));
    const SiteFile &changed = unsent.last();
    QCOMPARE(changed.localPath, m_app->filePath(QStringLiteral("HTML/2004/12/24.html")));
    QCOMPARE(changed.size, qint64(6));
    QCOMPARE(changed.digest, digestOfText("day 24"));
}

void TestServerRecord::nothingUnsentWithoutServer()
{
    page(QStringLiteral("year.html"), "years");
    page(QStringLiteral("2004/08/17.html"), "day 17");
    const ServerRecord none(PublishDestination{QStringLiteral("  "), Home.user, Home.directory});
    QVERIFY(unsentFiles(none).isEmpty());
    QVERIFY(unsentDays(none, 2004, 8).isEmpty());
    QCOMPARE(unsentFiles(ServerRecord(Home)).size(), 2);
}

void TestServerRecord::unsentDaysOfAMonth()
{
    for (const char *day : {"03", "17", "31"})
        page(QStringLiteral("2004/08/%1.html").arg(QLatin1String(day)), day);
    page(QStringLiteral("2004/08/index.html"), "days");
    page(QStringLiteral("2004/09/01.html"), "next month");
    ServerRecord record(Home);
    QCOMPARE(unsentDays(record, 2004, 8), (QList<int>{3, 17, 31}));
    QVERIFY(record.confirm(QStringLiteral("2004/08/17.html"), digestOfText("17")));
    QVERIFY(record.confirm(QStringLiteral("2004/08/03.html"), digestOfText("03")));
    page(QStringLiteral("2004/08/03.html"), "03 rewritten");
    QCOMPARE(unsentDays(ServerRecord(Home), 2004, 8), (QList<int>{3, 31}));
    QCOMPARE(unsentDays(ServerRecord(Home), 2004, 9), QList<int>{1});
    QCOMPARE(unsentDays(ServerRecord(Home), 2004, 7), QList<int>());
}

void TestServerRecord::directoryArgument_data()
{
    QTest::addColumn<QString>("root");
    QTest::addColumn<std::optional<QString>>("current");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("argument");
    const std::optional<QString> login;
    QTest::newRow("from the login directory") << "www" << login << "2004/08"
                                              << "www/2004/08";
    QTest::newRow("to the top from login") << "www" << login << ""
                                           << "www";
    QTest::newRow("login is the top") << "" << login << ""
                                      << "";
    QTest::newRow("no directory set") << "" << login << "2004"
                                      << "2004";
    QTest::newRow("down one") << "www" << std::optional<QString>("2004") << "2004/08"
                              << "08";
    QTest::newRow("sideways") << "www" << std::optional<QString>("2004/08") << "2004/09"
                              << "../09";
    QTest::newRow("other year") << "www" << std::optional<QString>("2004/12") << "2005/01"
                                << "../../2005/01";
    QTest::newRow("back to the top") << "www" << std::optional<QString>("2004/08") << ""
                                     << "../..";
    QTest::newRow("staying") << "www" << std::optional<QString>("2004") << "2004"
                             << "";
    QTest::newRow("absolute root") << "/srv/www/" << std::optional<QString>("2004/12") << "2005"
                                   << "/srv/www/2005";
    QTest::newRow("absolute root, top") << "/srv/www" << std::optional<QString>("2004") << ""
                                        << "/srv/www";
}

void TestServerRecord::directoryArgument()
{
    QFETCH(QString, root);
    QFETCH(std::optional<QString>, current);
    QFETCH(QString, target);
    QFETCH(QString, argument);
    QCOMPARE(remoteDirectoryArgument(root, current, target), argument);
}

QTEST_GUILESS_MAIN(TestServerRecord)
#include "TestServerRecord.moc"
