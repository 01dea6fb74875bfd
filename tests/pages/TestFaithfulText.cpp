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

// What the user types comes back as typed from the entry, the day page and the settings.
class TestFaithfulText : public QObject
{
    Q_OBJECT

private slots:
    void typedTextComesBack_data();
    void typedTextComesBack();
};

namespace {

// The text a browser shows for page bytes: references resolved, tags kept.
QString shownByBrowser(const QByteArray &bytes)
{
    static const QRegularExpression reference(u"&#([0-9]+);|&amp;"_s);
    QString text = fromCp932(bytes);
    for (auto match = reference.match(text); match.hasMatch();
         match = reference.match(text, match.capturedStart() + 1)) {
        const char32_t c = match.hasCaptured(1) ? match.captured(1).toUInt() : U'&';
        text.replace(match.capturedStart(), match.capturedLength(), QString::fromUcs4(&c, 1));
    }
    return text;
}

} // namespace

void TestFaithfulText::typedTextComesBack_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("readBack"); // from the entry, and shown on the page
    QTest::newRow("yen sign") << u"¥1,000"_s << QByteArray("&#165;1,000") << u"¥1,000"_s;
    QTest::newRow("overline") << u"a‾"_s << QByteArray("a&#8254;") << u"a‾"_s;
    // The conventional forms read back full-width, so the settings refuse them.
    QTest::newRow("wave dash") << u"〜"_s << QByteArray("\x81\x60") << u"～"_s;
    QTest::newRow("minus sign") << u"−"_s << QByteArray("\x81\x7C") << u"－"_s;
    QTest::newRow("cent sign") << u"¢"_s << QByteArray("\x81\x91") << u"￠"_s;
    QTest::newRow("pound sign") << u"£"_s << QByteArray("\x81\x92") << u"￡"_s;
    QTest::newRow("not sign") << u"¬"_s << QByteArray("\x81\xCA") << u"￢"_s;
    QTest::newRow("em dash") << u"—"_s << QByteArray("\x81\x5C") << u"―"_s;
    QTest::newRow("double vertical line") << u"‖"_s << QByteArray("\x81\x61") << u"∥"_s;
    QTest::newRow("emoji") << u"❤"_s << QByteArray("&#10084;") << u"❤"_s;
    QTest::newRow("outside the basic plane") << u"𠮷"_s << QByteArray("&#134071;") << u"𠮷"_s;
    QTest::newRow("tag character the converter drops")
        << u"a\U000E0067"_s << QByteArray("a&#917607;") << u"a\U000E0067"_s;
    QTest::newRow("typed reference") << u"&#65;"_s << QByteArray("&#38;#65;") << u"&#65;"_s;
    QTest::newRow("typed entity") << u"&amp;"_s << QByteArray("&amp;") << u"&amp;"_s;
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
    QVERIFY(readWholeFile(dayPagePath(u"2004"_s, u"08"_s, u"17"_s))
                .contains("\r\n" + stored + "<BR>\r\n"));
    // An entity typed in an entry is markup, as every tag in it is.
    QCOMPARE(shownByBrowser(stored), typed == u"&amp;" ? u"&"_s : readBack);

    const bool storable = readBack == typed;
    QCOMPARE(IniWrite(FtpSection, PasswordKey, typed), storable);
    QCOMPARE(IniRead(FtpSection, PasswordKey), storable ? typed : QString());
}

QTEST_GUILESS_MAIN(TestFaithfulText)
#include "TestFaithfulText.moc"
