#include "diary/EntryStore.h"
#include "pages/PageGenerator.h"
#include "pages/PagePaths.h"
#include "platform/Cp932.h"
#include "settings/SettingsFile.h"

#include "TestAppDir.h"

#include <QRegularExpression>
#include <QTest>

using namespace Kakiva;
using namespace Qt::StringLiterals;

// What the user types comes back as typed, from the entry, the day page and the settings.
class TestFaithfulText : public QObject
{
    Q_OBJECT

private slots:
    void typedTextComesBack_data();
    void typedTextComesBack();
    void earlierFilesReadAsBefore_data();
    void earlierFilesReadAsBefore();
};

namespace {

// The text a browser shows for page bytes: references resolved, markup kept.
QString shownByBrowser(const QByteArray &bytes)
{
    static const QRegularExpression reference(u"&#([0-9]+);|&amp;"_s);
    const QString text = fromCp932(bytes);
    QString shown;
    qsizetype done = 0;
    for (auto it = reference.globalMatch(text); it.hasNext();) {
        const auto match = it.next();
        shown += text.sliced(done, match.capturedStart() - done);
        const char32_t character = match.hasCaptured(1) ? match.captured(1).toUInt() : U'&';
        shown += QString::fromUcs4(&character, 1);
        done = match.capturedEnd();
    }
    return shown + text.sliced(done);
}

} // namespace

void TestFaithfulText::typedTextComesBack_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("readBack"); // from the entry, and what the page shows
    // The conventional forms read back as their full-width twins, so the settings,
    // which must come back exactly, refuse them.
    const auto same = [](const char16_t *text) { return QString::fromUtf16(text); };

    QTest::newRow("yen sign") << same(u"¥1,000") << QByteArray("&#165;1,000") << same(u"¥1,000");
    QTest::newRow("overline") << same(u"a‾") << QByteArray("a&#8254;") << same(u"a‾");
    QTest::newRow("wave dash") << same(u"〜") << QByteArray("\x81\x60") << same(u"～");
    QTest::newRow("minus sign") << same(u"−") << QByteArray("\x81\x7C") << same(u"－");
    QTest::newRow("cent sign") << same(u"¢") << QByteArray("\x81\x91") << same(u"￠");
    QTest::newRow("pound sign") << same(u"£") << QByteArray("\x81\x92") << same(u"￡");
    QTest::newRow("not sign") << same(u"¬") << QByteArray("\x81\xCA") << same(u"￢");
    QTest::newRow("em dash") << same(u"—") << QByteArray("\x81\x5C") << same(u"―");
    QTest::newRow("double vertical line") << same(u"‖") << QByteArray("\x81\x61") << same(u"∥");
    QTest::newRow("emoji") << same(u"❤") << QByteArray("&#10084;") << same(u"❤");
    QTest::newRow("outside the basic plane")
        << same(u"𠮷") << QByteArray("&#134071;") << same(u"𠮷");
    QTest::newRow("tag character the converter drops")
        << same(u"a\U000E0067") << QByteArray("a&#917607;") << same(u"a\U000E0067");
    QTest::newRow("typed reference") << same(u"&#65;") << QByteArray("&#38;#65;") << same(u"&#65;");
    QTest::newRow("typed emoji reference")
        << same(u"&#128512;") << QByteArray("&#38;#128512;") << same(u"&#128512;");
    QTest::newRow("typed entity stays markup")
        << same(u"&amp;") << QByteArray("&amp;") << same(u"&amp;");
}

void TestFaithfulText::typedTextComesBack()
{
    QFETCH(QString, typed);
    QFETCH(QByteArray, stored);
    QFETCH(QString, readBack);
    TestAppDir dir;

    QCOMPARE(DiaryWrite(u"2004"_s, u"08"_s, u"17"_s, typed), qint16(0));
    QCOMPARE(dir.read(u"Diary/2004/08/17.dia"_s), stored + "\r\n");
    QString text;
    QCOMPARE(DiaryRead(u"2004"_s, u"08"_s, u"17"_s, text), qint16(0));
    QCOMPARE(text, readBack);

    QCOMPARE(HtmlMake(u"2004"_s, u"08"_s, u"17"_s), qint16(0));
    const QByteArray page = readWholeFile(dayPagePath(u"2004"_s, u"08"_s, u"17"_s));
    QVERIFY(page.contains("\r\n" + stored + "<BR>\r\n"));
    // An entity typed in an entry is markup, as every tag in it is.
    const QString shown = typed == u"&amp;" ? u"&"_s : readBack;
    QCOMPARE(shownByBrowser(stored), shown);

    const bool storable = readBack == typed;
    QCOMPARE(IniWrite(FtpSection, PasswordKey, typed), storable);
    QCOMPARE(IniRead(FtpSection, PasswordKey), storable ? typed : QString());
}

void TestFaithfulText::earlierFilesReadAsBefore_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("read");
    QTest::newRow("entry of the page tests")
        << QByteArray("\x93\xFA\x8B\x4C \xFF &#128512;\r\n") << u"日記 \uFFFD 😀"_s;
    QTest::newRow("references of the code page stay text")
        << QByteArray("&#65; &amp; &#x41; &#26085;\r\n") << u"&#65; &amp; &#x41; &#26085;"_s;
}

void TestFaithfulText::earlierFilesReadAsBefore()
{
    QFETCH(QByteArray, stored);
    QFETCH(QString, read);
    TestAppDir dir;
    dir.write(u"Diary/2004/08/17.dia"_s, stored);
    QString text;
    QCOMPARE(DiaryRead(u"2004"_s, u"08"_s, u"17"_s, text), qint16(0));
    QCOMPARE(text, read);
}

QTEST_GUILESS_MAIN(TestFaithfulText)
#include "TestFaithfulText.moc"
