#include "platform/TextLines.h"

#include <QTest>

using namespace Kakiva;

class TestTextLines : public QObject
{
    Q_OBJECT

private slots:
    void split_data();
    void split();
};

void TestTextLines::split_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArrayList>("lines");
    QTest::newRow("empty") << QByteArray() << QByteArrayList();
    QTest::newRow("CR LF") << QByteArray("a\r\nb\r\n") << QByteArrayList{"a", "b"};
    QTest::newRow("no final line end") << QByteArray("a\r\nb") << QByteArrayList{"a", "b"};
    QTest::newRow("CR alone") << QByteArray("a\rb\r") << QByteArrayList{"a", "b"};
    QTest::newRow("LF alone stays") << QByteArray("a\nb\r\n") << QByteArrayList{"a\nb"};
    QTest::newRow("LF CR") << QByteArray("a\n\rb") << QByteArrayList{"a\n", "b"};
    QTest::newRow("blank lines") << QByteArray("\r\n\r\na\r\n\r\n")
                                 << QByteArrayList{"", "", "a", ""};
    QTest::newRow("CR CR LF") << QByteArray("a\r\r\n") << QByteArrayList{"a", ""};
}

void TestTextLines::split()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArrayList, lines);
    QByteArrayList split;
    for (QByteArrayView line : splitLines(bytes))
        split.append(line.toByteArray());
    QCOMPARE(split, lines);
}

QTEST_GUILESS_MAIN(TestTextLines)
#include "TestTextLines.moc"
