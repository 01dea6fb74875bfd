// What a check makes of the server's listings: which pages the server lost or holds
// otherwise, which files are Kakiva's leftovers and which are none of its business.

#include "publish/SiteComparison.h"
#include "publish/TemporaryNames.h"

#include <QCryptographicHash>
#include <QTest>

using namespace Kakiva;

namespace {

using SentDigests = QHash<QString, QByteArray>;

QByteArray digestOf(const QByteArray &content)
{
    return QCryptographicHash::hash(content, QCryptographicHash::Sha256);
}

// A local site of three pages, each of content "<path>", all confirmed as sent.
QList<SiteFile> localSite()
{
    QList<SiteFile> files;
    for (const QString &path : {QStringLiteral("year.html"), QStringLiteral("2004/index.html"),
                                QStringLiteral("2004/08/17.html")}) {
        const QByteArray content = path.toUtf8();
        files.append({QString(), path, content.size(), digestOf(content)});
    }
    return files;
}

QHash<QString, QByteArray> allSent()
{
    QHash<QString, QByteArray> sent;
    for (const SiteFile &file : localSite())
        sent.insert(file.remotePath, file.digest);
    return sent;
}

RemoteEntry file(const QString &name, qint64 size, const QByteArray &sha256 = {})
{
    return {name, size, false, sha256};
}

RemoteEntry directory(const QString &name)
{
    return {name, -1, true, {}};
}

// What the server holds when it holds exactly what was sent.
ServerListings asSent()
{
    ServerListings listings;
    listings.insert(QString(), QList<RemoteEntry>{file("year.html", 9), directory("2004")});
    listings.insert(QStringLiteral("2004"),
                    QList<RemoteEntry>{file("index.html", 15), directory("08")});
    listings.insert(QStringLiteral("2004/08"), QList<RemoteEntry>{file("17.html", 15)});
    return listings;
}

} // namespace

class TestSiteComparison : public QObject
{
    Q_OBJECT

private slots:
    void differences_data();
    void differences();
    void directoriesToCheck_data();
    void directoriesToCheck();
    void temporaryNames_data();
    void temporaryNames();
};

void TestSiteComparison::differences_data()
{
    QTest::addColumn<ServerListings>("listings");
    QTest::addColumn<SentDigests>("sent");
    QTest::addColumn<QStringList>("missing");
    QTest::addColumn<QStringList>("changed");
    QTest::addColumn<QStringList>("temporaries");
    QTest::addColumn<QStringList>("unknown");

    const QStringList none;
    QTest::newRow("as sent") << asSent() << allSent() << none << none << none << none;

    ServerListings deleted = asSent();
    deleted[QStringLiteral("2004/08")] = QList<RemoteEntry>{};
    QTest::newRow("page deleted by hand")
        << deleted << allSent() << QStringList{"2004/08/17.html"} << none << none << none;

    ServerListings truncated = asSent();
    truncated[QStringLiteral("2004/08")] = QList<RemoteEntry>{file("17.html", 7)};
    QTest::newRow("page truncated by hand")
        << truncated << allSent() << none << QStringList{"2004/08/17.html"} << none << none;

    ServerListings emptied = asSent();
    emptied[QStringLiteral("2004/08")] = QList<RemoteEntry>{file("17.html", 0)};
    QTest::newRow("page emptied") << emptied << allSent() << none << QStringList{"2004/08/17.html"}
                                  << none << none;

    ServerListings sameSizeOtherDigest = asSent();
    sameSizeOtherDigest[QStringLiteral("2004/08")] =
        QList<RemoteEntry>{file("17.html", 15, digestOf("2004/08/17.htmX"))};
    QTest::newRow("same size, other digest") << sameSizeOtherDigest << allSent() << none
                                             << QStringList{"2004/08/17.html"} << none << none;

    ServerListings sameDigest = asSent();
    sameDigest[QStringLiteral("2004/08")] =
        QList<RemoteEntry>{file("17.html", 15, digestOf("2004/08/17.html"))};
    QTest::newRow("same digest") << sameDigest << allSent() << none << none << none << none;

    ServerListings noSize = asSent();
    noSize[QStringLiteral("2004/08")] = QList<RemoteEntry>{file("17.html", -1)};
    QTest::newRow("size not told") << noSize << allSent() << none << none << none << none;

    ServerListings monthGone = asSent();
    monthGone[QStringLiteral("2004/08")] = std::nullopt;
    QTest::newRow("month directory gone")
        << monthGone << allSent() << QStringList{"2004/08/17.html"} << none << none << none;

    ServerListings pageIsDirectory = asSent();
    pageIsDirectory[QStringLiteral("2004/08")] = QList<RemoteEntry>{directory("17.html")};
    QTest::newRow("a directory where the page was")
        << pageIsDirectory << allSent() << QStringList{"2004/08/17.html"} << none << none << none;

    QHash<QString, QByteArray> olderSent = allSent();
    olderSent[QStringLiteral("2004/08/17.html")] = digestOf("older");
    QTest::newRow("unsent page is not checked")
        << deleted << olderSent << none << none << none << none;

    ServerListings leftovers = asSent();
    leftovers[QStringLiteral("2004/08")] = QList<RemoteEntry>{
        file("17.html", 15), file(".kakiva-00003f2a-1.tmp", 4), file(".18.html.upload", 2)};
    QTest::newRow("temporaries") << leftovers << allSent() << none << none
                                 << QStringList{"2004/08/.18.html.upload",
                                                "2004/08/.kakiva-00003f2a-1.tmp"}
                                 << none;

    ServerListings foreign = asSent();
    foreign[QString()] =
        QList<RemoteEntry>{file("year.html", 9), directory("2004"), file(".htaccess", 40),
                           file("photo.jpg", 9000), directory("cgi-bin")};
    QTest::newRow("files Kakiva never sent")
        << foreign << allSent() << none << none << none << QStringList{".htaccess", "photo.jpg"};

    ServerListings unsentLocal = asSent();
    unsentLocal[QString()] = QList<RemoteEntry>{file("year.html", 9)};
    QHash<QString, QByteArray> yearUnsent = allSent();
    yearUnsent.remove(QStringLiteral("year.html"));
    QTest::newRow("a local page never confirmed is not unknown")
        << unsentLocal << yearUnsent << none << none << none << none;

    ServerListings gone = asSent();
    gone[QString()] = QList<RemoteEntry>{file("year.html", 9), file("old.html", 3)};
    QHash<QString, QByteArray> sentOld = allSent();
    sentOld.insert(QStringLiteral("old.html"), digestOf("old"));
    QTest::newRow("a sent file no longer local is not unknown")
        << gone << sentOld << none << none << none << none;

    ServerListings unlisted = asSent();
    unlisted.remove(QStringLiteral("2004/08"));
    QTest::newRow("directory not listed says nothing")
        << unlisted << allSent() << none << none << none << none;
}

void TestSiteComparison::differences()
{
    QFETCH(ServerListings, listings);
    QFETCH(SentDigests, sent);
    QFETCH(QStringList, missing);
    QFETCH(QStringList, changed);
    QFETCH(QStringList, temporaries);
    QFETCH(QStringList, unknown);
    const SiteDifferences found = compareSite(localSite(), sent, listings);
    QCOMPARE(found.missing, missing);
    QCOMPARE(found.changed, changed);
    QCOMPARE(found.temporaries, temporaries);
    QCOMPARE(found.unknown, unknown);
}

void TestSiteComparison::directoriesToCheck_data()
{
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<QStringList>("directories");

    QTest::newRow("nothing sent") << QStringList{} << QStringList{QString()};
    QTest::newRow("a site") << QStringList{"year.html", "2004/index.html", "2004/08/17.html",
                                           "2004/08/18.html", "2005/01/01.html"}
                            << QStringList{QString(), "2004", "2004/08", "2005/01"};
}

void TestSiteComparison::directoriesToCheck()
{
    QFETCH(QStringList, paths);
    QFETCH(QStringList, directories);
    QHash<QString, QByteArray> sent;
    for (const QString &path : paths)
        sent.insert(path, "x");
    QCOMPARE(Kakiva::directoriesToCheck(sent), directories);
}

void TestSiteComparison::temporaryNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("temporary");

    QTest::newRow("ours") << QStringLiteral(".kakiva-000005e1-3.tmp") << true;
    QTest::newRow("an SFTP upload of a page") << QStringLiteral(".17.html.upload") << true;
    QTest::newRow("an SFTP upload of the style") << QStringLiteral(".kakiva.css.upload") << true;
    QTest::newRow("prefix alone") << QStringLiteral(".kakiva-.tmp") << false;
    QTest::newRow("no leading dot") << QStringLiteral("kakiva-1.tmp") << false;
    QTest::newRow("other suffix") << QStringLiteral(".kakiva-1.tmp.bak") << false;
    QTest::newRow("an SFTP upload of a day's picture")
        << QStringLiteral(".20261208-1.jpg.upload") << true;
    QTest::newRow("someone's upload") << QStringLiteral(".photo.jpg.upload") << false;
    QTest::newRow("a page") << QStringLiteral("17.html") << false;
    QTest::newRow("htaccess") << QStringLiteral(".htaccess") << false;
}

void TestSiteComparison::temporaryNames()
{
    QFETCH(QString, name);
    QFETCH(bool, temporary);
    QCOMPARE(isKakivaTemporary(name), temporary);
}

QTEST_GUILESS_MAIN(TestSiteComparison)
#include "TestSiteComparison.moc"
