// Which names a record may ask to remove from a server: only those of the pages the
// generator writes, rebuilt from their numbers.

#include "pages/SitePageName.h"

#include <QTest>

#include <optional>

using namespace Kakiva;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(std::optional<QString>)

class TestSitePageName : public QObject
{
    Q_OBJECT

private slots:
    void generatedPagePath_data();
    void generatedPagePath();
    void dayPicturePath_data();
    void dayPicturePath();
};

void TestSitePageName::dayPicturePath_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<std::optional<QString>>("picture");
    const std::optional<QString> none;
    const auto same = [](const QString &name) { return std::optional<QString>(name); };

    QTest::newRow("JPEG of a day") << u"2026/20261208-1.jpg"_s << same(u"2026/20261208-1.jpg"_s);
    QTest::newRow("PNG, high number")
        << u"2026/20261208-9999.png"_s << same(u"2026/20261208-9999.png"_s);
    QTest::newRow("first day the calendar offers")
        << u"1601/16010101-1.jpg"_s << same(u"1601/16010101-1.jpg"_s);

    QTest::newRow("in another year's folder") << u"2025/20261208-1.jpg"_s << none;
    QTest::newRow("in the month folder") << u"2026/12/20261208-1.jpg"_s << none;
    QTest::newRow("at the top") << u"20261208-1.jpg"_s << none;
    QTest::newRow("climbs out") << u"2026/../20261208-1.jpg"_s << none;
    QTest::newRow("number with a leading zero") << u"2026/20261208-01.jpg"_s << none;
    QTest::newRow("number zero") << u"2026/20261208-0.jpg"_s << none;
    QTest::newRow("number of five digits") << u"2026/20261208-10000.jpg"_s << none;
    QTest::newRow("no such date") << u"2026/20260230-1.jpg"_s << none;
    QTest::newRow("upper-case suffix") << u"2026/20261208-1.JPG"_s << none;
    QTest::newRow("other suffix") << u"2026/20261208-1.gif"_s << none;
    QTest::newRow("user's name") << u"2026/IMG_0001.jpg"_s << none;
    QTest::newRow("a day page is no picture") << u"2026/12/08.html"_s << none;
}

// A record may ask to remove a day's picture only by a name of the shape the program gives
// pictures, in the folder of their year.
void TestSitePageName::dayPicturePath()
{
    QFETCH(QString, name);
    QFETCH(std::optional<QString>, picture);
    QCOMPARE(Kakiva::dayPicturePath(name), picture);
    if (picture) // and no picture passes for a page
        QCOMPARE(Kakiva::generatedPagePath(name), std::optional<QString>());
}

void TestSitePageName::generatedPagePath_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<std::optional<QString>>("page");
    const std::optional<QString> none;
    const auto same = [](const QString &name) { return std::optional<QString>(name); };

    QTest::newRow("year list") << u"year.html"_s << same(u"year.html"_s);
    QTest::newRow("month list") << u"2004/index.html"_s << same(u"2004/index.html"_s);
    QTest::newRow("day list") << u"2004/08/index.html"_s << same(u"2004/08/index.html"_s);
    QTest::newRow("day page") << u"2004/08/17.html"_s << same(u"2004/08/17.html"_s);
    QTest::newRow("first and last year") << u"1601/01/01.html"_s << same(u"1601/01/01.html"_s);
    QTest::newRow("last year, last day") << u"9999/12/31.html"_s << same(u"9999/12/31.html"_s);

    QTest::newRow("climbs out of the site") << u"../../private/victim.txt"_s << none;
    QTest::newRow("climbs out from a year") << u"2004/../../private/victim.html"_s << none;
    QTest::newRow("climbs inside the shape") << u"2004/../index.html"_s << none;
    QTest::newRow("dot as a month") << u"2004/./index.html"_s << none;
    QTest::newRow("absolute") << u"/2004/08/17.html"_s << none;
    QTest::newRow("absolute year list") << u"/year.html"_s << none;
    QTest::newRow("doubled slash") << u"2004//08/17.html"_s << none;
    QTest::newRow("backslash") << u"2004\\08\\17.html"_s << none;
    QTest::newRow("empty") << QString() << none;
    QTest::newRow("style sheet") << u"style.css"_s << none;
    QTest::newRow("other file in a month") << u"2004/08/photo.jpg"_s << none;
    QTest::newRow("index at the top") << u"index.html"_s << none;
    QTest::newRow("year list in a year") << u"2004/year.html"_s << none;
    QTest::newRow("month 13") << u"2004/13/index.html"_s << none;
    QTest::newRow("month 00") << u"2004/00/01.html"_s << none;
    QTest::newRow("one-digit month") << u"2004/8/17.html"_s << none;
    QTest::newRow("day 32") << u"2004/08/32.html"_s << none;
    QTest::newRow("day 00") << u"2004/08/00.html"_s << none;
    QTest::newRow("three-digit day") << u"2004/08/017.html"_s << none;
    QTest::newRow("year before the calendar") << u"1600/index.html"_s << none;
    QTest::newRow("year with a leading zero") << u"02004/index.html"_s << none;
    QTest::newRow("year of five digits") << u"10000/index.html"_s << none;
    QTest::newRow("signed year") << u"+2004/index.html"_s << none;
    QTest::newRow("full-width digits") << u"２００４/index.html"_s << none;
    QTest::newRow("space in the name") << u"2004/08/17.html "_s << none;
    QTest::newRow("CR LF in the name") << u"2004/08/17.html\r\nDELE x"_s << none;
    QTest::newRow("deeper than a day") << u"2004/08/17/index.html"_s << none;
}

void TestSitePageName::generatedPagePath()
{
    QFETCH(QString, name);
    QFETCH(std::optional<QString>, page);
    QCOMPARE(Kakiva::generatedPagePath(name), page);
}

QTEST_GUILESS_MAIN(TestSitePageName)
#include "TestSitePageName.moc"
