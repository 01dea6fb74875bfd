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
};

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
