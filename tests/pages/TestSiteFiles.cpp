// The site's own files beside the generated pages: the starter front page and style sheet
// (the user's once written), latest.html that sends the front page's frame to the newest
// day, the marks of private days, and the Atom feed, checked with the RFC's schema (jing)
// and read back as feed readers read it (python3-feedparser).

#include "DayPages.h"
#include "TestAppDir.h"

#include "diary/EntryStore.h"
#include "diary/PrivateDays.h"
#include "pages/NewestDayPage.h"
#include "pages/PageGenerator.h"
#include "pages/PagePaths.h"
#include "pages/SiteFeed.h"
#include "pages/StarterFiles.h"
#include "platform/Cp932.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <optional>

using namespace Kakiva;
using namespace Qt::StringLiterals;

namespace {

const QString SiteUrl = u"https://example.jp/diary/"_s;

enum class OnDisk
{
    Nothing,
    Starter,
    Edited,
    Folder,
};

QString htmlFile(const QString &name)
{
    return htmlRootPath() + u'/' + name;
}

void putOnDisk(const StarterFile &starter, OnDisk what)
{
    QVERIFY(QDir().mkpath(htmlRootPath()));
    if (what == OnDisk::Starter)
        writeWholeFile(htmlFile(starter.name), starter.bytes);
    else if (what == OnDisk::Edited)
        writeWholeFile(htmlFile(starter.name), "my own page\r\n");
    else if (what == OnDisk::Folder)
        QVERIFY(QDir().mkpath(htmlFile(starter.name)));
}

void writeDay(const QDate &date, const QString &text)
{
    writeSavedDay(date.toString(u"yyyy"_s), date.toString(u"MM"_s), date.toString(u"dd"_s), text);
}

// The feed as a feed reader reads it: python3-feedparser's view of every entry.
struct ReadFeed
{
    bool wellFormed = false;
    QJsonArray entries;
};

ReadFeed readFeed()
{
    const QString script = uR"(
import json, sys, feedparser
feed = feedparser.parse(sys.argv[1])
print(json.dumps({"bozo": int(feed.bozo), "entries": [
    {"id": e.id, "title": e.title, "link": e.link, "updated": e.updated,
     "published": e.published, "content": e.content[0].value} for e in feed.entries]}))
)"_s;
    QProcess python;
    // Debian's interpreter, which has Debian's feedparser.
    python.start(qEnvironmentVariable("KAKIVA_PYTHON", u"/usr/bin/python3"_s),
                 {u"-c"_s, script, feedPath()});
    if (!python.waitForFinished(60000) || python.exitCode() != 0) {
        qWarning("feedparser: %s", python.readAllStandardError().constData());
        return {};
    }
    const QJsonObject read = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
    return {read.value(u"bozo"_s).toInt() == 0, read.value(u"entries"_s).toArray()};
}

QStringList field(const QJsonArray &entries, const QString &name)
{
    QStringList values;
    for (const QJsonValue &entry : entries)
        values.append(entry.toObject().value(name).toString());
    return values;
}

// Rewrites an entry file with the same bytes and a later time, as a restore does.
void touchLater(const QDate &date, int seconds)
{
    const QString path =
        entryFilePath(date.toString(u"yyyy"_s), date.toString(u"MM"_s), date.toString(u"dd"_s));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(QFileInfo(path).lastModified().addSecs(seconds),
                             QFileDevice::FileModificationTime));
}

} // namespace

Q_DECLARE_METATYPE(OnDisk)

class TestSiteFiles : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_app.emplace(); }
    void cleanup() { m_app.reset(); }

    void startersAreTheUsersOnceWritten_data();
    void startersAreTheUsersOnceWritten();
    void latestSendsTheFrameToTheNewestDay_data();
    void latestSendsTheFrameToTheNewestDay();
    void privateMarksFailClosed();
    void feedIsValidAtomOfTheRecentPublicDays();
    void feedKeepsIdsAndTimesAcrossRewritesAndMoves();
    void noAddressNoFeed();
    void unreadableMarksPublishNoFeed();

private:
    std::optional<TestAppDir> m_app;
};

void TestSiteFiles::startersAreTheUsersOnceWritten_data()
{
    QTest::addColumn<OnDisk>("before");
    QTest::addColumn<bool>("installWrites");

    QTest::newRow("missing: written") << OnDisk::Nothing << true;
    QTest::newRow("this version's: left as it is") << OnDisk::Starter << false;
    QTest::newRow("edited: kept, replaced only when the user agrees") << OnDisk::Edited << false;
    QTest::newRow("a folder in its place: left alone") << OnDisk::Folder << false;
}

void TestSiteFiles::startersAreTheUsersOnceWritten()
{
    QFETCH(OnDisk, before);
    QFETCH(bool, installWrites);

    const QList<StarterFile> starters = starterFiles();
    QCOMPARE(starters.size(), 2);
    for (const StarterFile &starter : starters)
        putOnDisk(starter, before);
    QStringList written;
    QString error;
    QVERIFY2(installStarterFiles(&written, &error), qPrintable(error));
    for (const StarterFile &starter : starters) {
        QCOMPARE(written.contains(starter.name), installWrites);
        const QFileInfo file(htmlFile(starter.name));
        QCOMPARE(file.isDir(), before == OnDisk::Folder);
        if (before == OnDisk::Edited)
            QCOMPARE(readWholeFile(file.filePath()), QByteArray("my own page\r\n"));
        else if (before != OnDisk::Folder)
            QCOMPARE(readWholeFile(file.filePath()), starter.bytes);
    }
    if (before == OnDisk::Folder)
        return;

    // ひな形を書き出す: an edited file is replaced only when the user agrees.
    QStringList asked;
    written.clear();
    QVERIFY(writeFreshStarterFiles(
        [&](const QString &name) {
            asked.append(name);
            return false;
        },
        &written, &error));
    QVERIFY(written.isEmpty());
    QCOMPARE(asked.size(), before == OnDisk::Edited ? 2 : 0);
    QVERIFY(writeFreshStarterFiles([](const QString &) { return true; }, &written, &error));
    QCOMPARE(written.size(), before == OnDisk::Edited ? 2 : 0);
    for (const StarterFile &starter : starters)
        QCOMPARE(starterState(starter), StarterState::Current);
}

void TestSiteFiles::latestSendsTheFrameToTheNewestDay_data()
{
    QTest::addColumn<QList<QDate>>("days");
    QTest::addColumn<QString>("shown");

    QTest::newRow("no day yet") << QList<QDate>{} << QString();
    QTest::newRow("newest of two years")
        << QList<QDate>{{2023, 12, 31}, {2024, 5, 7}, {2024, 1, 9}} << u"./2024/05/07.html"_s;
}

void TestSiteFiles::latestSendsTheFrameToTheNewestDay()
{
    QFETCH(QList<QDate>, days);
    QFETCH(QString, shown);

    for (const QDate &day : days)
        writeDay(day, u"晴れ"_s);
    // What the user adds to the tree is no day.
    m_app->write(u"HTML/images/index.html"_s, "pictures");
    m_app->write(u"HTML/9999/99/notes.txt"_s, "notes");
    bool changed = false;
    QString error;
    QVERIFY2(rewriteNewestDayPage(&changed, &error), qPrintable(error));
    QVERIFY(changed);
    const QString page = fromCp932(readWholeFile(newestDayPagePath()));
    QVERIFY(page.contains(u"charset=Shift_JIS"_s));
    if (shown.isEmpty()) {
        QVERIFY(!page.contains(u"refresh"_s));
        QVERIFY(page.contains(u"まだ日記がありません。"_s));
    } else {
        QVERIFY2(page.contains(u"content=\"0; url=%1\""_s.arg(shown)), qPrintable(page));
        QVERIFY(page.contains(u"<A HREF=\"%1\">"_s.arg(shown)));
    }
    // Nothing new: nothing to send.
    QVERIFY(rewriteNewestDayPage(&changed, &error));
    QVERIFY(!changed);
}

void TestSiteFiles::privateMarksFailClosed()
{
    const QDate day(2024, 5, 7);
    QString error;
    QVERIFY(!isPrivateDay(day));
    QVERIFY2(setDayPrivate(day, true, &error), qPrintable(error));
    QVERIFY(isPrivateDay(day));
    QVERIFY(!isPrivateDay(day.addDays(1)));
    QVERIFY(setDayPrivate(day, false, &error));
    QVERIFY(!isPrivateDay(day));
    // Marks that cannot be read hide every day rather than publish a private one.
    QVERIFY(QFile::remove(privateDaysPath()));
    QVERIFY(QDir().mkpath(privateDaysPath()));
    QVERIFY(isPrivateDay(day.addDays(3)));
    QVERIFY(!privateDays());
    QVERIFY(!setDayPrivate(day, true, &error));
}

void TestSiteFiles::feedIsValidAtomOfTheRecentPublicDays()
{
    const QDate first(2024, 4, 1);
    for (int i = 0; i < 25; ++i)
        writeDay(first.addDays(i), u"%1日目\r\n二行目"_s.arg(i));
    const QDate newest = first.addDays(24);
    const QDate hidden = newest.addDays(-1);
    writeDay(newest, u"①㈱～の日 \x01<b>太字</b>\r\n"
                     u"<a href=\"../04/01.html\">前</a> <img src='pic.png' alt=\"\">"_s);
    QString error;
    QVERIFY2(setDayPrivate(hidden, true, &error), qPrintable(error));

    bool changed = false;
    QVERIFY2(rewriteFeed(u"https://example.jp/diary"_s, &changed, &error), qPrintable(error));
    QVERIFY(changed);

    QProcess jing;
    jing.start(u"jing"_s, {u"-c"_s, QFINDTESTDATA("atom.rnc"), feedPath()});
    QVERIFY(jing.waitForFinished(60000));
    QVERIFY2(jing.exitCode() == 0, jing.readAllStandardOutput().constData());

    const ReadFeed feed = readFeed();
    QVERIFY(feed.wellFormed);
    QCOMPARE(feed.entries.size(), 20);
    const QStringList links = field(feed.entries, u"link"_s);
    QCOMPARE(links.first(), SiteUrl + newest.toString(u"yyyy/MM/dd"_s) + u".html"_s);
    QVERIFY(!links.contains(SiteUrl + hidden.toString(u"yyyy/MM/dd"_s) + u".html"_s));
    QCOMPARE(field(feed.entries, u"title"_s).at(1),
             first.addDays(22).toString(u"yyyy/MM/dd"_s) + u" 22日目"_s);
    const QString content = field(feed.entries, u"content"_s).first();
    // Read as a reader's sanitizer hands it on: the text intact, the markup kept.
    QVERIFY2(content.contains(u"①㈱～の日 <b>太字</b><br"_s), qPrintable(content));
    QVERIFY(!content.contains(QChar(1)));
    QVERIFY(content.contains(u"href=\"https://example.jp/diary/2024/04/01.html\""_s));
    QVERIFY(content.contains(u"src=\"https://example.jp/diary/2024/04/pic.png\""_s));
}

void TestSiteFiles::feedKeepsIdsAndTimesAcrossRewritesAndMoves()
{
    const QDate first(2024, 4, 1);
    for (int i = 0; i < 3; ++i)
        writeDay(first.addDays(i), u"日 %1"_s.arg(i));
    bool changed = false;
    QString error;
    QVERIFY(rewriteFeed(SiteUrl, &changed, &error));
    const ReadFeed before = readFeed();
    QCOMPARE(before.entries.size(), 3);

    // A restore rewrites the same text later; the site moves to another address.
    for (int i = 0; i < 3; ++i)
        touchLater(first.addDays(i), 3600);
    QVERIFY(rewriteFeed(u"http://other.example/"_s, &changed, &error));
    const ReadFeed moved = readFeed();
    QCOMPARE(field(moved.entries, u"id"_s), field(before.entries, u"id"_s));
    QCOMPARE(field(moved.entries, u"updated"_s), field(before.entries, u"updated"_s));
    QCOMPARE(field(moved.entries, u"published"_s), field(before.entries, u"published"_s));

    // A changed text is updated, and only that day.
    QString text;
    writeDay(first.addDays(1), u"書き直した"_s);
    touchLater(first.addDays(1), 7200);
    QVERIFY(rewriteFeed(SiteUrl, &changed, &error));
    QVERIFY(changed);
    const ReadFeed edited = readFeed();
    const QStringList updatedBefore = field(before.entries, u"updated"_s);
    const QStringList updatedAfter = field(edited.entries, u"updated"_s);
    QCOMPARE(updatedAfter.at(0), updatedBefore.at(0));
    QVERIFY(updatedAfter.at(1) != updatedBefore.at(1));
    QCOMPARE(updatedAfter.at(2), updatedBefore.at(2));
    QCOMPARE(field(edited.entries, u"published"_s), field(before.entries, u"published"_s));
    QCOMPARE(field(edited.entries, u"id"_s), field(before.entries, u"id"_s));

    // Unchanged: nothing to send.
    QVERIFY(rewriteFeed(SiteUrl, &changed, &error));
    QVERIFY(!changed);
}

void TestSiteFiles::noAddressNoFeed()
{
    writeDay({2024, 5, 7}, u"晴れ"_s);
    bool changed = true;
    QString error;
    QVERIFY(rewriteFeed(QString(), &changed, &error));
    QVERIFY(!changed);
    QVERIFY(!QFile::exists(feedPath()));
    QVERIFY(!QFile::exists(feedRecordPath()));
}

void TestSiteFiles::unreadableMarksPublishNoFeed()
{
    writeDay({2024, 5, 7}, u"晴れ"_s);
    QVERIFY(QDir().mkpath(privateDaysPath()));
    bool changed = false;
    QString error;
    QVERIFY(!rewriteFeed(SiteUrl, &changed, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!QFile::exists(feedPath()));
}

QTEST_GUILESS_MAIN(TestSiteFiles)
#include "TestSiteFiles.moc"
