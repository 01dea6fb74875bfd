// Reading what a server lists: MLSD facts, "ls -l" and DOS lines, and the lines a hostile or
// broken server may send instead; FEAT's offers and HASH's answer.

#include "publish/ftp/FtpFeatures.h"
#include "publish/ftp/FtpListing.h"

#include "RemoteEntryText.h"

#include <QTest>

using namespace Kakiva;

Q_DECLARE_METATYPE(Kakiva::FtpReply)

namespace {

// name|size|d, or "" for a line that must give nothing.
FtpReply replyOf(int code, QList<QByteArray> lines)
{
    return FtpReply{code, std::move(lines)};
}

} // namespace

class TestFtpListing : public QObject
{
    Q_OBJECT

private slots:
    void mlsdLines_data();
    void mlsdLines();
    void listLines_data();
    void listLines();
    void hugeListingIsCut();
    void repeatedNameIsTakenOnce();
    void listingLineEnds_data();
    void listingLineEnds();
    void features_data();
    void features();
    void hashReplies_data();
    void hashReplies();
};

void TestFtpListing::mlsdLines_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("entry");

    QTest::newRow("file") << QByteArray("type=file;size=512;modify=20040817101500; 17.html")
                          << QStringLiteral("17.html|512|f");
    QTest::newRow("facts in capitals")
        << QByteArray("Type=File;Size=9; a.css") << QStringLiteral("a.css|9|f");
    QTest::newRow("directory") << QByteArray("type=dir;modify=20040817101500; 2004")
                               << QStringLiteral("2004|-1|d");
    QTest::newRow("name with spaces")
        << QByteArray("type=file;size=3; my notes .txt") << QStringLiteral("my notes .txt|3|f");
    QTest::newRow("name with a semicolon")
        << QByteArray("type=file;size=3; a;b=c") << QStringLiteral("a;b=c|3|f");
    QTest::newRow("UTF-8 name") << QByteArray("type=file;size=3; \xe6\x97\xa5\xe8\xa8\x98.txt")
                                << QStringLiteral("日記.txt|3|f");
    QTest::newRow("temporary") << QByteArray("type=file;size=0; .kakiva-1-2.tmp")
                               << QStringLiteral(".kakiva-1-2.tmp|0|f");
    QTest::newRow("no size") << QByteArray("type=file; 17.html") << QStringLiteral("17.html|-1|f");
    QTest::newRow("size that is no number")
        << QByteArray("type=file;size=12x; 17.html") << QStringLiteral("17.html|-1|f");
    QTest::newRow("negative size")
        << QByteArray("type=file;size=-5; 17.html") << QStringLiteral("17.html|-1|f");
    QTest::newRow("this directory")
        << QByteArray("type=cdir;modify=20040817101500; .") << QString();
    QTest::newRow("parent directory") << QByteArray("type=pdir; ..") << QString();
    QTest::newRow("link") << QByteArray("type=OS.unix=slink:/etc;size=4; etc") << QString();
    QTest::newRow("no type") << QByteArray("size=4; x") << QString();
    QTest::newRow("no facts") << QByteArray(" 17.html") << QString();
    QTest::newRow("no space") << QByteArray("type=file;size=4;17.html") << QString();
    QTest::newRow("empty name") << QByteArray("type=file;size=4; ") << QString();
    QTest::newRow("name with a slash")
        << QByteArray("type=file;size=4; ../../etc/passwd") << QString();
    QTest::newRow("name that climbs") << QByteArray("type=file;size=4; ..") << QString();
    QTest::newRow("name with a backslash") << QByteArray("type=file;size=4; a\\b") << QString();
    QTest::newRow("name with a control character") << QByteArray("type=file;size=4; a\x01"
                                                                 "b")
                                                   << QString();
    QTest::newRow("empty line") << QByteArray() << QString();
    QTest::newRow("binary garbage") << QByteArray("\xff\xfe\x00\x01", 4) << QString();
}

void TestFtpListing::mlsdLines()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, entry);
    QCOMPARE(describedEntry(parseMlsdLine(line)), entry);
}

void TestFtpListing::listLines_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("entry");

    QTest::newRow("vsftpd file")
        << QByteArray("-rw-r--r--    1 1000     1000          512 Aug 17  2004 17.html")
        << QStringLiteral("17.html|512|f");
    QTest::newRow("recent file with a time")
        << QByteArray("-rw-r--r--   1 owner group 2048 Dec  8 09:15 index.html")
        << QStringLiteral("index.html|2048|f");
    QTest::newRow("no group") << QByteArray("-rw-r--r--   1 owner 77 Jan 01  2020 year.html")
                              << QStringLiteral("year.html|77|f");
    QTest::newRow("directory") << QByteArray("drwxr-xr-x   2 u g 4096 Aug 17  2004 08")
                               << QStringLiteral("08|-1|d");
    QTest::newRow("name with spaces")
        << QByteArray("-rw-r--r--   1 u g 5 Aug 17  2004 my  notes.txt")
        << QStringLiteral("my  notes.txt|5|f");
    QTest::newRow("dot file") << QByteArray("-rw-------   1 u g 0 Aug 17  2004 .kakiva-9-1.tmp")
                              << QStringLiteral(".kakiva-9-1.tmp|0|f");
    QTest::newRow("size not a number") << QByteArray("-rw-r--r--   1 u g 5k Aug 17  2004 17.html")
                                       << QStringLiteral("17.html|-1|f");
    QTest::newRow("DOS file") << QByteArray("08-17-04  10:00AM                  512 17.html")
                              << QStringLiteral("17.html|512|f");
    QTest::newRow("DOS directory")
        << QByteArray("08-17-04  10:00AM       <DIR>          2004") << QStringLiteral("2004|-1|d");
    QTest::newRow("total line") << QByteArray("total 24") << QString();
    QTest::newRow("link") << QByteArray("lrwxrwxrwx   1 u g 4 Aug 17  2004 x -> /etc") << QString();
    QTest::newRow("dot entries") << QByteArray("drwxr-xr-x   2 u g 4096 Aug 17  2004 ..")
                                 << QString();
    QTest::newRow("name with a slash")
        << QByteArray("-rw-r--r--   1 u g 5 Aug 17  2004 ../secret") << QString();
    QTest::newRow("no month") << QByteArray("-rw-r--r--   1 u g 5 17 2004 x y") << QString();
    QTest::newRow("cut short after the time")
        << QByteArray("-rw-r--r--   1 u g 5 Aug 17  2004") << QString();
    QTest::newRow("cut short after the time and a blank")
        << QByteArray("-rw-r--r--   1 u g 5 Aug 17  2004 ") << QString();
    QTest::newRow("DOS line without size")
        << QByteArray("08-17-04  10:00AM  big 17.html") << QString();
    QTest::newRow("prose") << QByteArray("Welcome to the machine") << QString();
    QTest::newRow("empty") << QByteArray() << QString();
}

void TestFtpListing::listLines()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, entry);
    QCOMPARE(describedEntry(parseListLine(line)), entry);
}

void TestFtpListing::hugeListingIsCut()
{
    QByteArray bytes;
    for (int i = 0; i < RemoteListing::MaxEntries + 50; ++i)
        bytes += "type=file;size=1; f" + QByteArray::number(i) + "\r\n";
    const QList<RemoteEntry> entries = parseFtpListing(bytes, FtpListingFormat::Mlsd);
    QCOMPARE(entries.size(), RemoteListing::MaxEntries);
    QCOMPARE(entries.constFirst().name, QStringLiteral("f0"));
}

void TestFtpListing::repeatedNameIsTakenOnce()
{
    const QList<RemoteEntry> entries = parseFtpListing(
        "type=file;size=1; 17.html\r\ntype=file;size=999; 17.html\r\n", FtpListingFormat::Mlsd);
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries.constFirst().size, 1);
}

void TestFtpListing::listingLineEnds_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("CR LF") << QByteArray("type=file;size=1; a\r\ntype=file;size=1; b\r\n")
                           << QStringList{"a", "b"};
    QTest::newRow("LF alone") << QByteArray("type=file;size=1; a\ntype=file;size=1; b\n")
                              << QStringList{"a", "b"};
    QTest::newRow("no end on the last line")
        << QByteArray("type=file;size=1; a\r\ntype=file;size=1; b") << QStringList{"a", "b"};
    QTest::newRow("garbage between") << QByteArray("type=file;size=1; a\r\n\x01\x02\r\n\r\n"
                                                   "type=cdir; .\r\ntype=file;size=1; b\r\n")
                                     << QStringList{"a", "b"};
    QTest::newRow("CR inside a name is no line end")
        << QByteArray("type=file;size=1; a\rb\r\n") << QStringList{};
}

void TestFtpListing::listingLineEnds()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, names);
    QStringList got;
    for (const RemoteEntry &entry : parseFtpListing(bytes, FtpListingFormat::Mlsd))
        got.append(entry.name);
    QCOMPARE(got, names);
}

void TestFtpListing::features_data()
{
    QTest::addColumn<FtpReply>("reply");
    QTest::addColumn<bool>("mlsd");
    QTest::addColumn<bool>("hash");
    QTest::addColumn<bool>("chosen");

    QTest::newRow("pyftpdlib") << replyOf(211, {"211-Features supported:", " EPRT", " EPSV",
                                                " MDTM", " MLST type*;perm*;size*;modify*;",
                                                " SIZE", "211 End FEAT."})
                               << true << false << false;
    QTest::newRow("vsftpd") << replyOf(211, {"211-Features:", " EPSV", " PASV", " SIZE", "211 End"})
                            << false << false << false;
    QTest::newRow("SHA-256 offered, another chosen")
        << replyOf(211, {"211-Features:", " HASH SHA-1*;SHA-256;MD5", " MLST size*;", "211 End"})
        << true << true << false;
    QTest::newRow("SHA-256 chosen")
        << replyOf(211, {"211-Features:", " hash SHA-256*;MD5", "211 End"}) << false << true
        << true;
    QTest::newRow("HASH without SHA-256")
        << replyOf(211, {"211-Features:", " HASH SHA-1*;MD5", "211 End"}) << false << false
        << false;
    QTest::newRow("feature only in the reply's own line")
        << replyOf(211, {"211 MLST HASH SHA-256"}) << false << false << false;
    QTest::newRow("refused") << replyOf(502, {"502 Command not implemented"}) << false << false
                             << false;
}

void TestFtpListing::features()
{
    QFETCH(FtpReply, reply);
    QFETCH(bool, mlsd);
    QFETCH(bool, hash);
    QFETCH(bool, chosen);
    const FtpFeatures features = parseFeatures(reply);
    QCOMPARE(features.mlsd, mlsd);
    QCOMPARE(features.hashSha256, hash);
    QCOMPARE(features.sha256Chosen, chosen);
}

void TestFtpListing::hashReplies_data()
{
    QTest::addColumn<FtpReply>("reply");
    QTest::addColumn<QByteArray>("hex");

    const QByteArray hex(64, 'a');
    QTest::newRow("whole file") << replyOf(213, {"213 SHA-256 0-512 " + hex + " 17.html"}) << hex;
    QTest::newRow("name with spaces")
        << replyOf(213, {"213 SHA-256 0-5 " + hex + " my file.html"}) << hex;
    QTest::newRow("another algorithm")
        << replyOf(213, {"213 SHA-1 0-512 " + QByteArray(40, 'a') + " 17.html"}) << QByteArray();
    QTest::newRow("part of the file")
        << replyOf(213, {"213 SHA-256 100-512 " + hex + " 17.html"}) << QByteArray();
    QTest::newRow("short digest") << replyOf(213, {"213 SHA-256 0-512 abcd 17.html"})
                                  << QByteArray();
    QTest::newRow("not hex") << replyOf(213,
                                        {"213 SHA-256 0-512 " + QByteArray(64, 'z') + " 17.html"})
                             << QByteArray();
    QTest::newRow("proftpd: computing first, on a line of its own")
        << replyOf(213, {"213-Computing SHA-256 digest", "213 SHA-256 0-5 " + hex + " a.txt"})
        << hex;
    QTest::newRow("bare hex, the algorithm chosen") << replyOf(213, {"213 " + hex}) << hex;
    QTest::newRow("hex and name, no range") << replyOf(213, {"213 " + hex + " 17.html"}) << hex;
    QTest::newRow("algorithm in lower case, no range")
        << replyOf(213, {"213 sha-256 " + hex + " 17.html"}) << hex;
    QTest::newRow("upper-case hex")
        << replyOf(213, {"213 SHA-256 0-9 " + hex.toUpper() + " 17.html"}) << hex;
    QTest::newRow("bare hex of another algorithm")
        << replyOf(213, {"213 " + QByteArray(40, 'a')}) << QByteArray();
    QTest::newRow("a size, as SIZE answers") << replyOf(213, {"213 512"}) << QByteArray();
    QTest::newRow("refused") << replyOf(550, {"550 No such file"}) << QByteArray();
    QTest::newRow("busy") << replyOf(450, {"450 Busy hashing"}) << QByteArray();
}

void TestFtpListing::hashReplies()
{
    QFETCH(FtpReply, reply);
    QFETCH(QByteArray, hex);
    QCOMPARE(parseHashReply(reply).toHex(), hex);
}

QTEST_GUILESS_MAIN(TestFtpListing)
#include "TestFtpListing.moc"
