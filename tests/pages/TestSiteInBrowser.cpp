// The published tree as readers meet it: served on loopback, opened in headless Chromium
// at a desktop and a phone size, and walked by linkchecker for broken links.

#include "DayPages.h"
#include "PictureFixtures.h"
#include "TestAppDir.h"

#include "diary/EntryStore.h"
#include "journal/DaySave.h"
#include "pages/NewestDayPage.h"
#include "pages/PageGenerator.h"
#include "pages/PagePaths.h"
#include "pages/SiteFeed.h"
#include "pages/StarterFiles.h"
#include "pictures/DayPictureStore.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QTextDocumentFragment>

#include <optional>
#include <unistd.h>

using namespace Kakiva;
using namespace Qt::StringLiterals;

namespace {

// Opens the front page in a frame of the given size, reads what its frames show, then
// follows a month list's 戻る inside the list frame as a reader would.
const QByteArray Harness = R"(<!DOCTYPE html><html><body style="margin:0">
<iframe id="site" src="HTML/index.html" style="width:%1px;height:%2px;border:0"></iframe>
<script>
var site = document.getElementById('site');
setTimeout(function () {
  var front = site.contentWindow;
  var result = {main: front.frames['main'].location.href,
                list: front.frames['list'].location.href,
                scrollWidth: front.document.documentElement.scrollWidth,
                width: front.innerWidth};
  front.frames['list'].location.href = 'HTML/2024/index.html';
  setTimeout(function () {
    var list = front.frames['list'];
    list.document.querySelector('a[href="../index.html"]').click();
    setTimeout(function () {
      result.listAfterBack = front.frames['list'].location.href;
      document.body.setAttribute('data-result', JSON.stringify(result));
    }, 1500);
  }, 1500);
}, 1500);
</script></body></html>)";

// Opens a day page and tells how its picture came out.
const QByteArray PictureHarness = R"(<!DOCTYPE html><html><body style="margin:0">
<iframe id="day" src="HTML/2024/05/07.html" style="width:1200px;height:900px;border:0"></iframe>
<script>
setTimeout(function () {
  var img = document.getElementById('day').contentWindow.document.querySelector('img');
  var result = img ? {complete: img.complete, naturalWidth: img.naturalWidth,
                      naturalHeight: img.naturalHeight, width: img.width, height: img.height}
                   : {};
  document.body.setAttribute('data-result', JSON.stringify(result));
}, 1500);
</script></body></html>)";

void writeDay(const QString &y, const QString &m, const QString &d)
{
    writeSavedDay(y, m, d, u"晴れ。<a href=\"../../year.html\">一覧</a>"_s);
}

// A static file server on a free loopback port, serving root.
class StaticServer
{
public:
    explicit StaticServer(const QString &root)
    {
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(qEnvironmentVariable("KAKIVA_PYTHON", u"/usr/bin/python3"_s),
                        {u"-u"_s, u"-m"_s, u"http.server"_s, u"0"_s, u"--bind"_s, u"127.0.0.1"_s,
                         u"--directory"_s, root});
        static const QRegularExpression served(u"port (\\d+)"_s);
        QByteArray said;
        while (m_port == 0 && m_process.waitForReadyRead(10000)) {
            said += m_process.readAll();
            const QRegularExpressionMatch match = served.match(QString::fromLatin1(said));
            if (match.hasMatch())
                m_port = match.captured(1).toInt();
        }
    }
    ~StaticServer()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    int port() const { return m_port; }

private:
    QProcess m_process;
    int m_port = 0;
};

QJsonObject openInBrowser(const QString &url)
{
    QProcess chromium;
    QTemporaryDir profile;
    QStringList options{u"--headless"_s,
                        u"--disable-gpu"_s,
                        u"--disable-quic"_s,
                        u"--no-first-run"_s,
                        u"--disable-background-networking"_s,
                        u"--disable-component-update"_s,
                        u"--disable-sync"_s,
                        u"--user-data-dir="_s + profile.path(),
                        u"--virtual-time-budget=10000"_s,
                        u"--dump-dom"_s,
                        url};
    if (geteuid() == 0)
        options.prepend(u"--no-sandbox"_s);
    chromium.start(u"chromium"_s, options);
    if (!chromium.waitForFinished(120000))
        return {};
    static const QRegularExpression result(u"data-result=\"([^\"]*)\""_s);
    const QRegularExpressionMatch match =
        result.match(QString::fromUtf8(chromium.readAllStandardOutput()));
    const QString json = QTextDocumentFragment::fromHtml(match.captured(1)).toPlainText();
    return QJsonDocument::fromJson(json.toUtf8()).object();
}

} // namespace

class TestSiteInBrowser : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void frontPageShowsTheYearsAndTheNewestDay_data();
    void frontPageShowsTheYearsAndTheNewestDay();
    void noLinkIsBroken();
    void dayPageDrawsItsPicture();

private:
    std::optional<TestAppDir> m_app;
};

void TestSiteInBrowser::initTestCase()
{
    if (QStandardPaths::findExecutable(u"chromium"_s).isEmpty() ||
        QStandardPaths::findExecutable(u"linkchecker"_s).isEmpty())
        QSKIP("needs Debian's chromium and linkchecker (scripts/setup.sh test)");
    m_app.emplace();
    writeDay(u"2023"_s, u"12"_s, u"31"_s);
    writeDay(u"2024"_s, u"05"_s, u"07"_s);
    writeDay(u"2024"_s, u"04"_s, u"30"_s);
    // The newest day with a photo, as the entry dialog inserts one.
    const DateFields photoDay{u"2024"_s, u"05"_s, u"07"_s};
    QString name;
    QString error;
    const WebPicture photo = makeWebPicture(quadrantScene(480, 360), 1600);
    QVERIFY2(storeDayPicture(photoDay, photo, &name, &error), qPrintable(error));
    const journal::SiteChange saved =
        journal::saveDay(photoDay, u"晴れ。\r\n"_s + pictureLine(name, photo.size));
    QVERIFY2(saved.ok(), qPrintable(saved.error));
    QStringList written;
    QVERIFY2(installStarterFiles(&written, &error), qPrintable(error));
    bool changed = false;
    QVERIFY2(rewriteNewestDayPage(&changed, &error), qPrintable(error));
    QVERIFY2(rewriteFeed(u"https://example.jp/"_s, &changed, &error), qPrintable(error));
}

void TestSiteInBrowser::frontPageShowsTheYearsAndTheNewestDay_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("desktop 1000x600") << 1000 << 600;
    QTest::newRow("phone 390x844") << 390 << 844;
}

void TestSiteInBrowser::frontPageShowsTheYearsAndTheNewestDay()
{
    QFETCH(int, width);
    QFETCH(int, height);
    m_app->write(u"harness.html"_s, QString::fromLatin1(Harness).arg(width).arg(height).toUtf8());
    StaticServer server(m_app->path());
    QVERIFY(server.port() > 0);
    const QString site = u"http://127.0.0.1:%1/HTML/"_s.arg(server.port());
    const QJsonObject seen =
        openInBrowser(u"http://127.0.0.1:%1/harness.html"_s.arg(server.port()));
    QVERIFY2(!seen.isEmpty(), "the browser reported nothing");
    QCOMPARE(seen.value(u"main"_s).toString(), site + u"2024/05/07.html"_s);
    QCOMPARE(seen.value(u"list"_s).toString(), site + u"year.html"_s);
    QCOMPARE(seen.value(u"width"_s).toInt(), width);
    QVERIFY2(seen.value(u"scrollWidth"_s).toInt() <= width, "the front page scrolls sideways");
    // 戻る from a month list leads to the front page inside the list frame: the list shows
    // the years again, not a second front page.
    QCOMPARE(seen.value(u"listAfterBack"_s).toString(), site + u"year.html"_s);
}

void TestSiteInBrowser::noLinkIsBroken()
{
    // Over HTTP as readers reach it (run as root, linkchecker reads as nobody, who may not
    // read the test's folder).
    StaticServer server(m_app->path());
    QVERIFY(server.port() > 0);
    QProcess linkchecker;
    linkchecker.setProcessChannelMode(QProcess::MergedChannels);
    linkchecker.start(
        u"linkchecker"_s,
        {u"--no-status"_s, u"http://127.0.0.1:%1/HTML/index.html"_s.arg(server.port())});
    QVERIFY(linkchecker.waitForFinished(120000));
    const QByteArray report = linkchecker.readAll();
    QVERIFY2(linkchecker.exitCode() == 0, report.constData());
    QVERIFY2(report.contains(" 0 errors found"), report.constData());
    // It walked the frames down to the day pages, not just the front page.
    static const QRegularExpression checked(u"(\\d+) links in (\\d+) URLs checked"_s);
    const QRegularExpressionMatch counts = checked.match(QString::fromUtf8(report));
    QVERIFY2(counts.hasMatch() && counts.captured(2).toInt() >= 10, report.constData());
}

// The picture's line reaches the day page as markup, and the browser finds the published
// copy by the relative link and draws it at the size the line gives (one narrower than the
// style sheet's column, which fits wider ones in).
void TestSiteInBrowser::dayPageDrawsItsPicture()
{
    m_app->write(u"picture.html"_s, PictureHarness);
    StaticServer server(m_app->path());
    QVERIFY(server.port() > 0);
    const QJsonObject seen =
        openInBrowser(u"http://127.0.0.1:%1/picture.html"_s.arg(server.port()));
    QVERIFY2(!seen.isEmpty(), "the browser found no picture");
    QVERIFY(seen.value(u"complete"_s).toBool());
    QCOMPARE(seen.value(u"naturalWidth"_s).toInt(), 480);
    QCOMPARE(seen.value(u"naturalHeight"_s).toInt(), 360);
    QCOMPARE(seen.value(u"width"_s).toInt(), 480);
    QCOMPARE(seen.value(u"height"_s).toInt(), 360);
}

QTEST_MAIN(TestSiteInBrowser)
#include "TestSiteInBrowser.moc"
