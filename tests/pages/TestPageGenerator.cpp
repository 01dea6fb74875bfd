#include "pages/PageGenerator.h"

#include "DayPages.h"
#include "TestAppDir.h"
#include "TestTree.h"
#include "WriteFault.h"
#include "diary/EntryStore.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>

using namespace Kakiva;
using namespace Qt::StringLiterals;

class TestPageGenerator : public QObject
{
    Q_OBJECT

private slots:
    void dayPage_data();
    void dayPage();
    void lists_data();
    void lists();
    void missingEntry_data();
    void missingEntry();
    void writeFailure_data();
    void writeFailure();
    void savesShowOnlyHiddenNames();
};

namespace {

// The pages' Japanese words as Windows-932 bytes, spelled out so the encoder is checked too.
const QByteArray Nikki("\x93\xFA\x8B\x4C");  // 日記
const QByteArray Nen("\x94\x4E");            // 年
const QByteArray Gatsu("\x8C\x8E");          // 月
const QByteArray Nichi("\x93\xFA");          // 日
const QByteArray Modoru("\x96\xDF\x82\xE9"); // 戻る

const QByteArray
    DayPageStyle(R"(<link rel="stylesheet" type="text/css" href="../../kakiva.css" > )");
const QByteArray YearListStyle(R"(<link rel="stylesheet" type="text/css" href="./kakiva.css" >)");
const QByteArray MonthListStyle(R"(<link rel="stylesheet" type="text/css" href="../kakiva.css" >)");
const QByteArray
    DayListStyle(R"(<link rel="stylesheet" type="text/css" href="../../kakiva.css" >)");

QByteArray lines(const QByteArrayList &list)
{
    QByteArray bytes;
    for (const QByteArray &line : list)
        bytes += line + "\r\n";
    return bytes;
}

QByteArray head(const QByteArray &styleSheetLine)
{
    return lines({"<HTML>", "<HEAD>",
                  R"(<META http-equiv="Content-Type" content="text/html; charset=Shift_JIS">)",
                  styleSheetLine, "<TITLE>" + Nikki + "</TITLE>", "</HEAD>", "<BODY>"});
}

const QByteArray PageEnd = lines({"</BODY>", "</HTML>"});
const QByteArray ListEnd =
    lines({"<BR><BR>", R"(<A HREF="../index.html">)" + Modoru + "</A>"}) + PageEnd;

QByteArray yearLink(const QByteArray &name)
{
    return "<A HREF=\"./" + name + "/index.html\">" + name + Nen + "</A><BR>";
}

QByteArray monthLink(const QByteArray &name)
{
    return "<A HREF=\"./" + name + "/index.html\">" + name + Gatsu + "</A><BR>";
}

QByteArray dayLink(const QByteArray &name, const QByteArray &text)
{
    return "<A HREF=\"./" + name + "\" TARGET=\"main\">" + text + Nichi + "</A><BR>";
}

QString pagePath(const TestAppDir &dir, const QString &relative)
{
    return dir.filePath(u"HTML/"_s + relative);
}

// Each page's bytes, or a marker where it is not a file, so that "still absent" compares too.
QByteArrayList snapshot(const QStringList &pages)
{
    QByteArrayList bytes;
    for (const QString &page : pages)
        bytes.append(QFileInfo(page).isFile() ? readWholeFile(page) : QByteArray("<no file>"));
    return bytes;
}

void save(const QString &date, const QString &text = u"x"_s)
{
    const QStringList parts = date.split(QLatin1Char('/'));
    QCOMPARE(DiaryWrite(parts[0], parts[1], parts[2], text), qint16(0));
    QCOMPARE(HtmlMake(parts[0], parts[1], parts[2]), qint16(0));
}

} // namespace

void TestPageGenerator::dayPage_data()
{
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<QByteArrayList>("body");
    QTest::newRow("empty entry file") << QByteArray() << QByteArrayList();
    QTest::newRow("two lines") << QByteArray("a\r\nb\r\n") << QByteArrayList{"a<BR>", "b<BR>"};
    QTest::newRow("ends with a line break")
        << QByteArray("a\r\n\r\n") << QByteArrayList{"a<BR>", "<BR>"};
    QTest::newRow("leading blank lines")
        << QByteArray("\r\n\r\nx\r\n") << QByteArrayList{"<BR>", "<BR>", "x<BR>"};
    QTest::newRow("markup stays markup")
        << QByteArray("<B>bold</B> & <i>\r\n") << QByteArrayList{"<B>bold</B> & <i><BR>"};
    QTest::newRow("CR alone ends a line") << QByteArray("a\rb") << QByteArrayList{"a<BR>", "b<BR>"};
    QTest::newRow("LF alone stays in the line")
        << QByteArray("a\nb\r\n") << QByteArrayList{"a\nb<BR>"};
    QTest::newRow("stored bytes copied verbatim")
        << QByteArray("\x93\xFA\x8B\x4C \xFF &#128512;\r\n")
        << QByteArrayList{"\x93\xFA\x8B\x4C \xFF &#128512;<BR>"};
}

void TestPageGenerator::dayPage()
{
    QFETCH(QByteArray, entry);
    QFETCH(QByteArrayList, body);
    TestAppDir dir;
    dir.write(u"Diary/2004/08/17.dia"_s, entry);
    QCOMPARE(HtmlMake(u"2004"_s, u"08"_s, u"17"_s), qint16(0));
    const QByteArray page = readWholeFile(pagePath(dir, u"2004/08/17.html"_s));
    QCOMPARE(page, head(DayPageStyle) + lines(body) + PageEnd);
}

void TestPageGenerator::lists_data()
{
    QTest::addColumn<QStringList>("tree");
    QTest::addColumn<QStringList>("saved");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QByteArrayList>("years");
    QTest::addColumn<QByteArrayList>("months");
    QTest::addColumn<QByteArrayList>("days");
    QTest::newRow("first entry ever")
        << QStringList() << QStringList() << "2004/08/17" << QByteArrayList{yearLink("2004")}
        << QByteArrayList{monthLink("08")} << QByteArrayList{dayLink("17.html", "17")};
    QTest::newRow("second entry in a month")
        << QStringList() << QStringList{"2004/08/03"} << "2004/08/17"
        << QByteArrayList{yearLink("2004")} << QByteArrayList{monthLink("08")}
        << QByteArrayList{dayLink("03.html", "03"), dayLink("17.html", "17")};
    QTest::newRow("earlier day saved later")
        << QStringList() << QStringList{"2004/08/17"} << "2004/08/03"
        << QByteArrayList{yearLink("2004")} << QByteArrayList{monthLink("08")}
        << QByteArrayList{dayLink("03.html", "03"), dayLink("17.html", "17")};
    QTest::newRow("same date twice")
        << QStringList() << QStringList{"2004/08/17"} << "2004/08/17"
        << QByteArrayList{yearLink("2004")} << QByteArrayList{monthLink("08")}
        << QByteArrayList{dayLink("17.html", "17")};
    QTest::newRow("new year") << QStringList() << QStringList{"2004/08/17"} << "2005/01/02"
                              << QByteArrayList{yearLink("2004"), yearLink("2005")}
                              << QByteArrayList{monthLink("01")}
                              << QByteArrayList{dayLink("02.html", "02")};
    QTest::newRow("new month") << QStringList() << QStringList{"2004/09/01"} << "2004/08/17"
                               << QByteArrayList{yearLink("2004")}
                               << QByteArrayList{monthLink("08"), monthLink("09")}
                               << QByteArrayList{dayLink("17.html", "17")};
    QTest::newRow("odd names in the month")
        << QStringList{"HTML/2004/08/notes.txt", "HTML/2004/08/a", "HTML/2004/08/Index.html",
                       "HTML/2004/08/pics/", u"HTML/2004/08/😀.txt"_s}
        << QStringList{"2004/08/17"} << "2004/08/17" << QByteArrayList{yearLink("2004")}
        << QByteArrayList{monthLink("08")}
        << QByteArrayList{dayLink("17.html", "17"),    dayLink("a", "a"),
                          dayLink("Index.html", "In"), dayLink("notes.txt", "no"),
                          dayLink("pics", "pi"),       dayLink("&#128512;.txt", "&#128512;.")};
    QTest::newRow("a draft beside the entries")
        << QStringList{"Diary/.drafts/20040818.txt"} << QStringList() << "2004/08/17"
        << QByteArrayList{yearLink("2004")} << QByteArrayList{monthLink("08")}
        << QByteArrayList{dayLink("17.html", "17")};
    QTest::newRow("stray entries at the root and in a year")
        << QStringList{"HTML/images/", u"HTML/写真/"_s, "HTML/kakiva.css", "HTML/index.html",
                       "HTML/2004/notes.txt"}
        << QStringList() << "2004/08/17"
        << QByteArrayList{yearLink("2004"), yearLink("images"), yearLink("\x8E\xCA\x90\x5E")}
        << QByteArrayList{monthLink("08")} << QByteArrayList{dayLink("17.html", "17")};
}

void TestPageGenerator::lists()
{
    QFETCH(QStringList, tree);
    QFETCH(QStringList, saved);
    QFETCH(QString, date);
    QFETCH(QByteArrayList, years);
    QFETCH(QByteArrayList, months);
    QFETCH(QByteArrayList, days);
    TestAppDir dir;
    createTree(dir.path(), tree);
    for (const QString &earlier : saved)
        save(earlier);
    save(date);
    const QString month = date.first(7);
    QCOMPARE(readWholeFile(pagePath(dir, u"year.html"_s)),
             head(YearListStyle) + lines(years) + PageEnd);
    QCOMPARE(readWholeFile(pagePath(dir, date.first(4) + u"/index.html"_s)),
             head(MonthListStyle) + lines(months) + ListEnd);
    QCOMPARE(readWholeFile(pagePath(dir, month + u"/index.html"_s)),
             head(DayListStyle) + lines(days) + ListEnd);
}

void TestPageGenerator::missingEntry_data()
{
    QTest::addColumn<bool>("publishedBefore");
    QTest::newRow("day published before") << true;
    QTest::newRow("day never published") << false;
}

void TestPageGenerator::missingEntry()
{
    QFETCH(bool, publishedBefore);
    TestAppDir dir;
    if (publishedBefore) {
        save(u"2004/08/17"_s);
        QVERIFY(QFile::remove(dir.filePath("Diary/2004/08/17.dia")));
    }
    // Would change every list, were they rewritten.
    createTree(dir.path(), {"HTML/2099/", "HTML/2004/07/", "HTML/2004/08/notes.txt"});
    const QByteArrayList before = snapshot(pagesOfDay(u"2004"_s, u"08"_s, u"17"_s));

    QString error;
    QCOMPARE(HtmlMake(u"2004"_s, u"08"_s, u"17"_s, &error), qint16(-1));
    verifyErrorNames(error, dir.filePath("Diary/2004/08/17.dia"));
    QCOMPARE(snapshot(pagesOfDay(u"2004"_s, u"08"_s, u"17"_s)), before);
}

void TestPageGenerator::writeFailure_data()
{
    QTest::addColumn<QStringList>("tree");
    QTest::addColumn<WriteFault::Kind>("fault");
    QTest::addColumn<QString>("failingPath");
    QTest::addColumn<int>("pagesWritten");
    QTest::newRow("read-only month directory")
        << QStringList() << WriteFault::ReadOnlyDirectory << "HTML/2004/08/17.html" << 0;
    QTest::newRow("disk full half-way")
        << QStringList() << WriteFault::DiskFull << "HTML/2004/08/17.html" << 0;
    QTest::newRow("HTML is a file")
        << QStringList{"HTML"} << WriteFault::None << "HTML/2004/08" << 0;
    QTest::newRow("day page is a directory")
        << QStringList{"HTML/2004/08/17.html/"} << WriteFault::None << "HTML/2004/08/17.html" << 0;
    QTest::newRow("year list is a directory")
        << QStringList{"HTML/year.html/"} << WriteFault::None << "HTML/year.html" << 1;
    QTest::newRow("day list is a directory") << QStringList{"HTML/2004/08/index.html/"}
                                             << WriteFault::None << "HTML/2004/08/index.html" << 3;
}

void TestPageGenerator::writeFailure()
{
    QFETCH(QStringList, tree);
    QFETCH(WriteFault::Kind, fault);
    QFETCH(QString, failingPath);
    QFETCH(int, pagesWritten);
    if (fault == WriteFault::ReadOnlyDirectory && runsAsSuperuser())
        QSKIP("permissions do not stop the superuser");
    TestAppDir dir;
    if (fault != WriteFault::None)
        save(u"2004/08/17"_s, u"old"_s);
    createTree(dir.path(), tree);
    dir.write(u"Diary/2004/08/17.dia"_s, QByteArray(300, 'n') + "\r\n");
    const QStringList pages = pagesOfDay(u"2004"_s, u"08"_s, u"17"_s);
    const QByteArrayList before = snapshot(pages);

    QString error;
    qint16 status = 0;
    {
        const WriteFault inForce(fault, pagePath(dir, u"2004/08"_s), 100);
        status = HtmlMake(u"2004"_s, u"08"_s, u"17"_s, &error);
    }
    QCOMPARE(status, qint16(-1));
    verifyErrorNames(error, dir.filePath(failingPath), fault == WriteFault::DiskFull ? EFBIG : 0);
    for (int i = 0; i < pagesWritten; ++i)
        QVERIFY(QFileInfo(pages.at(i)).isFile());
    QCOMPARE(snapshot(pages).sliced(pagesWritten), before.sliced(pagesWritten));
}

// A crash can stop a save at any point, leaving the folder as it was at that moment. So
// every name a save makes in the month's folder, other than the pages, is hidden (no
// leftover ever becomes a day), and a page is replaced in one step, never removed first.
void TestPageGenerator::savesShowOnlyHiddenNames()
{
    TestAppDir dir;
    save(u"2004/08/17"_s);
    const QString month = pagePath(dir, u"2004/08"_s);
    dir.write(u"HTML/2004/08/.17.html.new"_s, "left by a crash");
    dir.write(u"HTML/2004/08/.17.html.new.a1B2c3"_s, "left by a crash");

    const int watcher = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    QVERIFY(watcher >= 0);
    QVERIFY(inotify_add_watch(watcher, QFile::encodeName(month).constData(),
                              IN_CREATE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM) >= 0);
    save(u"2004/08/17"_s, u"again"_s);
    QStringList made;
    QStringList gone;
    alignas(inotify_event) char buffer[64 * 1024];
    for (ssize_t got; (got = ::read(watcher, buffer, sizeof buffer)) > 0;) {
        for (char *at = buffer; at < buffer + got;) {
            const auto *event = reinterpret_cast<const inotify_event *>(at);
            (event->mask & (IN_CREATE | IN_MOVED_TO) ? made : gone)
                .append(QFile::decodeName(event->name));
            at += sizeof(inotify_event) + event->len;
        }
    }
    ::close(watcher);

    QVERIFY(made.contains(u"17.html"_s));
    for (const QString &name : made)
        QVERIFY2(name.startsWith(u'.') || name == u"17.html" || name == u"index.html",
                 qPrintable(name));
    for (const QString &name : gone)
        QVERIFY2(name.startsWith(u'.'), qPrintable(name));
    QCOMPARE(readWholeFile(month + u"/index.html"_s),
             head(DayListStyle) + lines({dayLink("17.html", "17")}) + ListEnd);
}

QTEST_GUILESS_MAIN(TestPageGenerator)
#include "TestPageGenerator.moc"
