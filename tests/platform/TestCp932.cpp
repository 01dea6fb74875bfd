#include "platform/Cp932.h"

#include <QTest>

using namespace Kakiva;
using namespace Qt::StringLiterals;

class TestCp932 : public QObject
{
    Q_OBJECT

private slots:
    void encode_data();
    void encode();
    void decode_data();
    void decode();
    void restore_data();
    void restore();
};

void TestCp932::encode_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("ascii") << u"a<b>&c"_s << QByteArray("a<b>&c");
    QTest::newRow("kanji") << u"日記"_s << QByteArray("\x93\xFA\x8B\x4C");
    QTest::newRow("half-width katakana") << u"ｱ"_s << QByteArray("\xB1");
    QTest::newRow("circled digit of the code page") << u"①"_s << QByteArray("\x87\x40");
    QTest::newRow("emoji") << u"a😀b"_s << QByteArray("a&#128512;b");
    QTest::newRow("euro sign outside the code page") << u"€"_s << QByteArray("&#8364;");
    QTest::newRow("reference typed by the user") << u"&#65;"_s << QByteArray("&#38;#65;");
    QTest::newRow("line ends kept") << u"a\r\nb\rc\nd"_s << QByteArray("a\r\nb\rc\nd");
}

void TestCp932::encode()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(toCp932(text), bytes);
}

void TestCp932::decode_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("kanji") << QByteArray("\x93\xFA\x8B\x4C") << u"日記"_s;
    QTest::newRow("invalid byte") << QByteArray("a\xFF"
                                                "b")
                                  << u"a\uFFFDb"_s;
    QTest::newRow("lead byte cut off at the end") << QByteArray("a\x93") << u"a\uFFFD"_s;
    QTest::newRow("half-width katakana, circled digit, line ends")
        << QByteArray("\xB6\xC0\x87\x40\r\n\x5C") << u"ｶﾀ①\r\n\\"_s;
    QTest::newRow("second byte that looks like a backslash")
        << QByteArray("\x95\x5C\x8E\xA6") << u"表示"_s;
    QTest::newRow("invalid byte after whole characters")
        << QByteArray("\x93\xFA\x8B\x4C\xFF") << u"日記\uFFFD"_s;
    QTest::newRow("reference stays a reference") << QByteArray("&#128512;") << u"&#128512;"_s;
}

void TestCp932::decode()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(fromCp932(bytes), text);
}

void TestCp932::restore_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("restored");
    QTest::newRow("emoji") << u"a&#128512;b"_s << u"a😀b"_s;
    QTest::newRow("after a lone ampersand") << u"&&#128512;"_s << u"&😀"_s;
    QTest::newRow("two in a row") << u"&#128512;&#128513;"_s << u"😀😁"_s;
    QTest::newRow("character of the code page") << u"&#65;&#26085;"_s << u"&#65;&#26085;"_s;
    QTest::newRow("hexadecimal") << u"&#x1F600;"_s << u"&#x1F600;"_s;
    QTest::newRow("no semicolon") << u"&#128512"_s << u"&#128512"_s;
    QTest::newRow("no digits") << u"&#;"_s << u"&#;"_s;
    QTest::newRow("beyond Unicode") << u"&#1114112;"_s << u"&#1114112;"_s;
    QTest::newRow("surrogate") << u"&#55357;"_s << u"&#55357;"_s;
}

void TestCp932::restore()
{
    QFETCH(QString, text);
    QFETCH(QString, restored);
    QCOMPARE(restoreCharacterReferences(text), restored);
}

QTEST_GUILESS_MAIN(TestCp932)
#include "TestCp932.moc"
