#include "diary/EntryDays.h"
#include "diary/EntryStore.h"

#include "TestAppDir.h"
#include "WriteFault.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <cerrno>

using namespace Kakiva;
using namespace Qt::StringLiterals;

class TestEntryStore : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void readStored_data();
    void readStored();
    void overwrite();
    void missingDay();
    void writeFailure_data();
    void writeFailure();
    void entryFileNames_data();
    void entryFileNames();
};

namespace {

const QString Year = u"2004"_s;
const QString Month = u"08"_s;
const QString Day = u"17"_s;
const QString EntryPath = u"Diary/2004/08/17.dia"_s;

} // namespace

void TestEntryStore::roundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("two lines") << u"a\r\nb"_s << QByteArray("a\r\nb\r\n");
    QTest::newRow("leading blank lines") << u"\r\n\r\nx"_s << QByteArray("\r\n\r\nx\r\n");
    QTest::newRow("only a line break") << u"\r\n"_s << QByteArray("\r\n\r\n");
    QTest::newRow("trailing blank line") << u"a\r\n"_s << QByteArray("a\r\n\r\n");
    QTest::newRow("Japanese") << u"日記"_s << QByteArray("\x93\xFA\x8B\x4C\r\n");
    QTest::newRow("emoji") << u"a😀"_s << QByteArray("a&#128512;\r\n");
}

void TestEntryStore::roundTrip()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, stored);
    TestAppDir dir;
    QString error;
    QCOMPARE(DiaryWrite(Year, Month, Day, text, &error), qint16(0));
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(dir.read(EntryPath), stored);
    QString read;
    QCOMPARE(DiaryRead(Year, Month, Day, read), qint16(0));
    QCOMPARE(read, text);
}

void TestEntryStore::readStored_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("read");
    QTest::newRow("CR alone ends a line") << QByteArray("a\rb\r\n") << QString() << u"a\r\nb"_s;
    QTest::newRow("LF alone stays") << QByteArray("a\nb\r\n") << QString() << u"a\nb"_s;
    QTest::newRow("no final line end") << QByteArray("a\r\nb") << QString() << u"a\r\nb"_s;
    QTest::newRow("empty file") << QByteArray() << QString() << QString();
    QTest::newRow("appended to given text")
        << QByteArray("a\r\nb\r\n") << u"x"_s << u"x\r\na\r\nb"_s;
    QTest::newRow("blank first line after given text")
        << QByteArray("\r\na\r\n") << u"x"_s << u"x\r\n\r\na"_s;
    // Written before references of the code page's own characters were escaped.
    QTest::newRow("entry of the earlier page tests")
        << QByteArray("\x93\xFA\x8B\x4C \xFF &#128512;\r\n") << QString() << u"日記 \uFFFD 😀"_s;
    QTest::newRow("references of the code page stay text")
        << QByteArray("&#65; &amp; &#x41;\r\n") << QString() << u"&#65; &amp; &#x41;"_s;
}

void TestEntryStore::readStored()
{
    QFETCH(QByteArray, stored);
    QFETCH(QString, given);
    QFETCH(QString, read);
    TestAppDir dir;
    dir.write(EntryPath, stored);
    QCOMPARE(DiaryRead(Year, Month, Day, given), qint16(0));
    QCOMPARE(given, read);
}

void TestEntryStore::overwrite()
{
    TestAppDir dir;
    QCOMPARE(DiaryWrite(Year, Month, Day, u"a long first version\r\nof two lines"_s), qint16(0));
    QVERIFY(QDir(dir.filePath("Diary/2004/08")).exists());
    QCOMPARE(DiaryWrite(Year, Month, Day, u"short"_s), qint16(0));
    QCOMPARE(dir.read(EntryPath), QByteArray("short\r\n"));
}

void TestEntryStore::missingDay()
{
    TestAppDir dir;
    QString text = u"kept"_s;
    QCOMPARE(DiaryRead(Year, Month, Day, text), qint16(-1));
    QCOMPARE(text, u"kept"_s);
    QVERIFY(!QFile::exists(dir.filePath("Diary")));
}

void TestEntryStore::writeFailure_data()
{
    QTest::addColumn<QString>("blocker");
    QTest::addColumn<WriteFault::Kind>("fault");
    QTest::addColumn<QString>("failingPath");
    QTest::addColumn<bool>("hadPrevious");
    QTest::newRow("read-only month directory")
        << QString() << WriteFault::ReadOnlyDirectory << EntryPath << true;
    QTest::newRow("disk full half-way") << QString() << WriteFault::DiskFull << EntryPath << true;
    QTest::newRow("Diary is a file")
        << u"Diary"_s << WriteFault::None << u"Diary/2004/08"_s << false;
    QTest::newRow("entry path is a directory")
        << u"Diary/2004/08/17.dia/"_s << WriteFault::None << EntryPath << false;
}

void TestEntryStore::writeFailure()
{
    QFETCH(QString, blocker);
    QFETCH(WriteFault::Kind, fault);
    QFETCH(QString, failingPath);
    QFETCH(bool, hadPrevious);
    if (fault == WriteFault::ReadOnlyDirectory && runsAsSuperuser())
        QSKIP("permissions do not stop the superuser");
    TestAppDir dir;
    if (blocker.endsWith(QLatin1Char('/')))
        QVERIFY(QDir(dir.path()).mkpath(blocker));
    else if (!blocker.isEmpty())
        dir.write(blocker, "x");
    if (hadPrevious)
        QCOMPARE(DiaryWrite(Year, Month, Day, u"old"_s), qint16(0));

    const QString month = dir.filePath("Diary/2004/08");
    QString error;
    qint16 status = 0;
    {
        const WriteFault inForce(fault, month, 16);
        status = DiaryWrite(Year, Month, Day, u"a new version longer than the limit"_s, &error);
    }
    QCOMPARE(status, qint16(-1));
    verifyErrorNames(error, dir.filePath(failingPath), fault == WriteFault::DiskFull ? EFBIG : 0);
    if (hadPrevious)
        QCOMPARE(dir.read(EntryPath), QByteArray("old\r\n"));
    QCOMPARE(QDir(month).entryList(QDir::Files | QDir::Hidden).size(), hadPrevious ? 1 : 0);
}

void TestEntryStore::entryFileNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("day");
    QTest::newRow("first day") << u"01.dia"_s << 1;
    QTest::newRow("last day") << u"31.dia"_s << 31;
    QTest::newRow("day zero") << u"00.dia"_s << 0;
    QTest::newRow("day after the last") << u"32.dia"_s << 0;
    QTest::newRow("one digit") << u"5.dia"_s << 0;
    QTest::newRow("three digits") << u"005.dia"_s << 0;
    QTest::newRow("sign") << u"+5.dia"_s << 0;
    QTest::newRow("blank") << u" 5.dia"_s << 0;
    QTest::newRow("full-width digits") << u"１５.dia"_s << 0;
    QTest::newRow("suffix in capitals") << u"05.DIA"_s << 0;
    QTest::newRow("left by an editor") << u"05.dia~"_s << 0;
    QTest::newRow("temporary beside it") << u"05.dia.tmp"_s << 0;
    QTest::newRow("picture of the day") << u"20261208-1.jpg"_s << 0;
    QTest::newRow("suffix alone") << u".dia"_s << 0;
}

void TestEntryStore::entryFileNames()
{
    QFETCH(QString, name);
    QFETCH(int, day);
    QCOMPARE(dayOfEntryFile(name), day);
}

QTEST_GUILESS_MAIN(TestEntryStore)
#include "TestEntryStore.moc"
