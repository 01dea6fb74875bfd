#include "diary/DiaryIndex.h"
#include "diary/DiaryReading.h"
#include "diary/EntryDays.h"
#include "diary/EntryDrafts.h"
#include "diary/EntryStore.h"
#include "pages/PageGenerator.h"
#include "pages/PagePaths.h"

#include "TestAppDir.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <optional>

using namespace Kakiva;
using namespace Qt::StringLiterals;

namespace {

const DateFields Day{u"2004"_s, u"03"_s, u"05"_s};

enum class Entry
{
    None,
    OlderThanDraft,
    NewerThanDraft, // saved after the draft was written
};

void setModified(const QString &path, const QDateTime &time)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.setFileTime(time, QFileDevice::FileModificationTime));
}

enum class Lister
{
    CalendarDays,
    Years,
    Search,
    DayListPage,
    PendingDrafts,
};

// What each lister of the diary finds after a save of 2004/03/05 beside drafts of
// 2004/03/06 and 2005/01/01 and a few files in the draft folder that are no drafts.
QStringList listed(Lister lister)
{
    QStringList names;
    switch (lister) {
    case Lister::CalendarDays:
        for (const QDate &first : {QDate(2004, 3, 1), QDate(2005, 1, 1)})
            for (const int day : daysWithEntries(first.year(), first.month()))
                names << slashedDate(first.addDays(day - 1));
        break;
    case Lister::Years:
        for (const int year : diaryYears())
            names << QString::number(year);
        break;
    case Lister::Search: {
        DiaryIndex index;
        QSignalSpy ready(&index, &DiaryIndex::ready);
        index.prepare();
        if (!ready.wait())
            return {u"never ready"_s};
        for (const SearchHit &hit : index.search(u"下書き"_s))
            names << slashedDate(hit.date);
        break;
    }
    case Lister::DayListPage: {
        const QString page = QString::fromLatin1(readWholeFile(dayListPath(Day.year, Day.month)));
        for (const QRegularExpressionMatch &link :
             QRegularExpression(u"HREF=\"\\./([^\"]*)\""_s).globalMatch(page))
            names << link.captured(1);
        break;
    }
    case Lister::PendingDrafts:
        for (const QDate &date : pendingDraftDays())
            names << slashedDate(date);
        break;
    }
    return names;
}

} // namespace

class TestEntryDrafts : public QObject
{
    Q_OBJECT

private slots:
    void draftComesBack_data();
    void draftComesBack();
    void listersSeeOnlyEntries_data();
    void listersSeeOnlyEntries();
    void writeFailureIsNamed();
};

void TestEntryDrafts::draftComesBack_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<Entry>("entry");
    QTest::addColumn<bool>("pending");
    // Characters the code page cannot hold, or that it stores in another form.
    const QString everything = u"\n\n先頭の空行 ¥ 〜 😀 &#38; \t\rx\u00a0\u3000"_s;
    QTest::newRow("every character, no entry") << everything << Entry::None << true;
    QTest::newRow("newer than its entry") << u"more"_s << Entry::OlderThanDraft << true;
    QTest::newRow("older than a later save") << u"more"_s << Entry::NewerThanDraft << false;
}

void TestEntryDrafts::draftComesBack()
{
    QFETCH(QString, text);
    QFETCH(Entry, entry);
    QFETCH(bool, pending);
    TestAppDir dir;
    QVERIFY(writeDraft(Day, text));
    if (entry != Entry::None) {
        QCOMPARE(DiaryWrite(Day.year, Day.month, Day.day, u"saved"_s), 0);
        const int offset = entry == Entry::NewerThanDraft ? 60 : -60;
        setModified(entryFilePath(Day.year, Day.month, Day.day),
                    QFileInfo(draftFilePath(Day)).lastModified().addSecs(offset));
    }
    QCOMPARE(pendingDraft(Day), pending ? std::optional(text) : std::nullopt);
    QCOMPARE(pendingDraftDays(), pending ? QList{QDate(2004, 3, 5)} : QList<QDate>());
    QVERIFY(removeDraft(Day));
    QVERIFY(!QFile::exists(draftFilePath(Day)));
}

void TestEntryDrafts::listersSeeOnlyEntries_data()
{
    QTest::addColumn<Lister>("lister");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("calendar days") << Lister::CalendarDays << QStringList{u"2004/03/05"_s};
    QTest::newRow("years") << Lister::Years << QStringList{u"2004"_s};
    QTest::newRow("search") << Lister::Search << QStringList{u"2004/03/05"_s};
    QTest::newRow("day list page") << Lister::DayListPage << QStringList{u"05.html"_s};
    QTest::newRow("drafts, not what else lies beside them")
        << Lister::PendingDrafts << QStringList{u"2004/03/06"_s, u"2005/01/01"_s};
}

void TestEntryDrafts::listersSeeOnlyEntries()
{
    QFETCH(Lister, lister);
    QFETCH(QStringList, expected);
    TestAppDir dir;
    QVERIFY(writeDraft({u"2004"_s, u"03"_s, u"06"_s}, u"下書き"_s));
    QVERIFY(writeDraft({u"2005"_s, u"01"_s, u"01"_s}, u"下書き"_s));
    for (const QString &stray :
         {u".20040307.txt.new"_s, u"notes.txt"_s, u"20040231.txt"_s, u"2004038.txt"_s, u"a"_s})
        dir.write(u"Diary/.drafts/"_s + stray, "下書き");
    QVERIFY(QDir().mkpath(dir.filePath(u"Diary/.drafts/20040308.txt"_s)));
    QCOMPARE(DiaryWrite(Day.year, Day.month, Day.day, u"下書きではない"_s), 0);
    QCOMPARE(HtmlMake(Day.year, Day.month, Day.day), 0);
    QCOMPARE(listed(lister), expected);
}

void TestEntryDrafts::writeFailureIsNamed()
{
    TestAppDir dir;
    dir.write(u"Diary"_s, "in the way");
    QString error;
    QVERIFY(!writeDraft(Day, u"text"_s, &error));
    verifyErrorNames(error, dir.filePath(u"Diary/.drafts"_s));
    QVERIFY(!QFile::exists(draftFilePath(Day)));
}

QTEST_GUILESS_MAIN(TestEntryDrafts)
#include "TestEntryDrafts.moc"
