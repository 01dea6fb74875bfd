// ListDirectory and FileDigests of the FTP client against the scripted server: which listing
// command a server's FEAT leads to, what a hostile listing comes to, the sizes LIST leaves
// out, and HASH asked for many files at once.

#include "RemoteEntryText.h"
#include "ScriptedFtpServer.h"

#include "publish/client/ClientResult.h"
#include "publish/ftp/FtpClient.h"

#include <QTest>

using namespace Kakiva;
using namespace std::chrono_literals;

namespace {

const QString User = QStringLiteral("diarist");
const QString Password = QStringLiteral("secret");

const QByteArray FeatMlsd = "211-Features:\r\n MLST type*;size*;\r\n SIZE\r\n211 End\r\n";
const QByteArray FeatPlain = "211-Features:\r\n SIZE\r\n211 End\r\n";
const QByteArray FeatHash =
    "211-Features:\r\n MLST type*;size*;\r\n HASH SHA-1*;SHA-256\r\n211 End\r\n";

QList<QByteArray> commandsStarting(const QList<QByteArray> &commands, const QByteArray &prefix)
{
    QList<QByteArray> found;
    for (const QByteArray &command : commands) {
        if (command.startsWith(prefix))
            found.append(command);
    }
    return found;
}

} // namespace

class TestFtpDirectoryList : public QObject
{
    Q_OBJECT

private slots:
    void listings_data();
    void listings();
    void listingLargerThanAnyIsRefused();
    void refusedDirectory();
    void missingSizesAreAskedTogether();
    void digestsAreAskedTogether();
    void noDigestsWithoutHash();

private:
    void connectTo(FtpClient &client, ScriptedFtpServer &server, const QByteArray &feat);
};

void TestFtpDirectoryList::connectTo(FtpClient &client, ScriptedFtpServer &server,
                                     const QByteArray &feat)
{
    QVERIFY(server.isListening());
    server.setReply("FEAT", ScriptedReply::text(feat));
    client.setTimeout(5s);
    QCOMPARE(client.Connect(server.serverString(), User, Password),
             ClientResult::Connect::Connected);
}

void TestFtpDirectoryList::listings_data()
{
    QTest::addColumn<QByteArray>("feat");
    QTest::addColumn<QByteArray>("listing");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QStringList>("entries");

    QTest::newRow("MLSD") << FeatMlsd
                          << QByteArray("type=cdir; .\r\ntype=pdir; ..\r\n"
                                        "type=file;size=512; 17.html\r\n"
                                        "type=dir; 08\r\ntype=file;size=4; my notes.txt\r\n")
                          << QByteArray("MLSD www/2004")
                          << QStringList{"17.html|512|f", "08|-1|d", "my notes.txt|4|f"};
    QTest::newRow("LIST") << FeatPlain
                          << QByteArray("total 8\r\n"
                                        "-rw-r--r-- 1 u g 512 Aug 17  2004 17.html\r\n"
                                        "-rw------- 1 u g 3 Aug 17  2004 .kakiva-1-1.tmp\r\n")
                          << QByteArray("LIST -a www/2004")
                          << QStringList{"17.html|512|f", ".kakiva-1-1.tmp|3|f"};
    QTest::newRow("hostile names")
        << FeatMlsd
        << QByteArray("type=file;size=1; ../../etc/passwd\r\ntype=file;size=1; a/b\r\n"
                      "type=dir; ..\r\ntype=file;size=1; \x01\r\n"
                      "type=file;size=1; ok.html\r\n")
        << QByteArray("MLSD www/2004") << QStringList{"ok.html|1|f"};
    QTest::newRow("garbage") << FeatMlsd << QByteArray("\xff\xfe garbage\r\n\r\n;;;\r\n= =\r\n")
                             << QByteArray("MLSD www/2004") << QStringList{};
    QTest::newRow("empty") << FeatPlain << QByteArray() << QByteArray("LIST -a www/2004")
                           << QStringList{};
}

void TestFtpDirectoryList::listings()
{
    QFETCH(QByteArray, feat);
    QFETCH(QByteArray, listing);
    QFETCH(QByteArray, command);
    QFETCH(QStringList, entries);
    ScriptedFtpServer server;
    server.script().setListing(listing);
    FtpClient client;
    connectTo(client, server, feat);
    QList<RemoteEntry> listed{{QStringLiteral("stale"), 1, false, {}}};
    QCOMPARE(client.ListDirectory(QStringLiteral("www/2004"), &listed),
             ClientResult::Command::Done);
    QCOMPARE(describedEntries(listed), entries);
    QVERIFY(server.commands().contains(command));
    // FEAT is asked once per login; once the server's passive request is known, a listing
    // sends it and its command together, and reads the same.
    QCOMPARE(client.ListDirectory(QStringLiteral("www/2004"), &listed),
             ClientResult::Command::Done);
    QCOMPARE(describedEntries(listed), entries);
    QCOMPARE(commandsStarting(server.commands(), "FEAT").size(), 1);
    QCOMPARE(commandsStarting(server.commands(), "EPSV").size(), 2);
}

// A listing past every bound is never read whole: the session ends, nothing is kept.
void TestFtpDirectoryList::listingLargerThanAnyIsRefused()
{
    ScriptedFtpServer server;
    const QByteArray line = "type=file;size=1; " + QByteArray(200, 'x') + "\r\n";
    server.script().setListing(line.repeated(RemoteListing::MaxBytes / line.size() + 10));
    FtpClient client;
    connectTo(client, server, FeatMlsd);
    QList<RemoteEntry> listed;
    QCOMPARE(client.ListDirectory(QString(), &listed), ClientResult::BadReply);
    QVERIFY(listed.isEmpty());
    QCOMPARE(client.Command(QStringLiteral("CWD www")), ClientResult::NotConnected);
}

void TestFtpDirectoryList::refusedDirectory()
{
    ScriptedFtpServer server;
    server.script().setListing("type=file;size=1; x\r\n");
    server.setReply("MLSD", ScriptedReply::text("550 No such directory\r\n"));
    FtpClient client;
    connectTo(client, server, FeatMlsd);
    QList<RemoteEntry> listed;
    QCOMPARE(client.ListDirectory(QStringLiteral("www/2099"), &listed), qint16(5));
    QVERIFY(listed.isEmpty());
    // Again with the passive request and MLSD sent together; the session goes on.
    QCOMPARE(client.ListDirectory(QStringLiteral("www/2098"), &listed), qint16(5));
    QCOMPARE(client.Command(QStringLiteral("CWD /")), ClientResult::Command::Done);
}

// Each SIZE goes out before the first answer is read, and each answer finds its file.
void TestFtpDirectoryList::missingSizesAreAskedTogether()
{
    ScriptedFtpServer server;
    server.script().setListing("-rw-r--r-- 1 u g ? Aug 17  2004 17.html\r\n"
                               "-rw-r--r-- 1 u g ? Aug 17  2004 18.html\r\n"
                               "drwxr-xr-x 1 u g ? Aug 17  2004 08\r\n");
    server.queueReply("SIZE", ScriptedReply::text("213 512\r\n"));
    server.queueReply("SIZE", ScriptedReply::text("550 Could not get file size\r\n"));
    FtpClient client;
    connectTo(client, server, FeatPlain);
    const WireStats before = client.wireStats();
    QList<RemoteEntry> listed;
    QCOMPARE(client.ListDirectory(QStringLiteral("www"), &listed), ClientResult::Command::Done);
    QCOMPARE(describedEntries(listed), (QStringList{"17.html|512|f", "18.html|-1|f", "08|-1|d"}));
    QCOMPARE(commandsStarting(server.commands(), "SIZE "),
             (QList<QByteArray>{"SIZE www/17.html", "SIZE www/18.html"}));
    // FEAT, TYPE, EPSV, LIST, and one wait for both sizes.
    QCOMPARE(client.wireStats().roundTrips - before.roundTrips, 5);
}

void TestFtpDirectoryList::digestsAreAskedTogether()
{
    ScriptedFtpServer server;
    const QByteArray first(64, 'a');
    const QByteArray second(64, 'b');
    server.queueReply("HASH", ScriptedReply::text("213 SHA-256 0-5 " + first + " 17.html\r\n"));
    server.queueReply("HASH", ScriptedReply::text("550 Busy\r\n"));
    server.queueReply("HASH",
                      ScriptedReply::text("213 SHA-256 0-5 " + second + " my file.html\r\n"));
    server.setReply("OPTS", ScriptedReply::text("200 SHA-256\r\n"));
    FtpClient client;
    connectTo(client, server, FeatHash);
    const QList<QByteArray> digests =
        client.FileDigests(QStringLiteral("www/2004"), {"17.html", "18.html", "my file.html"});
    QCOMPARE(digests.size(), 3);
    QCOMPARE(digests.at(0).toHex(), first);
    QVERIFY(digests.at(1).isEmpty());
    QCOMPARE(digests.at(2).toHex(), second);
    QCOMPARE(commandsStarting(server.commands(), "OPTS HASH"),
             QList<QByteArray>{"OPTS HASH SHA-256"});
    QCOMPARE(commandsStarting(server.commands(), "HASH "),
             (QList<QByteArray>{"HASH www/2004/17.html", "HASH www/2004/18.html",
                                "HASH www/2004/my file.html"}));
}

void TestFtpDirectoryList::noDigestsWithoutHash()
{
    ScriptedFtpServer server;
    FtpClient client;
    connectTo(client, server, FeatMlsd);
    QVERIFY(client.FileDigests(QString(), {"17.html"}).isEmpty());
    QVERIFY(commandsStarting(server.commands(), "HASH").isEmpty());
}

QTEST_GUILESS_MAIN(TestFtpDirectoryList)
#include "TestFtpDirectoryList.moc"
