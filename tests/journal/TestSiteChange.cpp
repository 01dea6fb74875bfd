// What saving and restoring a day say they changed on the local site: the pages written,
// in the order written, then the files of the site's root whose bytes changed, and nothing
// more; a step that fails names only what went before.
// (What a deletion says is checked with the rest of a deletion, in TestDayDeletion.)

#include "DayPages.h"
#include "EntryText.h"
#include "TestAppDir.h"

#include "backup/BackupRun.h"
#include "diary/EntryStore.h"
#include "journal/DayDeletion.h"
#include "journal/DayRestore.h"
#include "journal/DaySave.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <memory>

using namespace Kakiva;
using namespace Qt::StringLiterals;
using Failure = journal::SiteChange::Failure;

Q_DECLARE_METATYPE(Failure)

namespace {

// Ways to make one step of a save fail, below the application directory.
enum class Blocker
{
    None,
    EntryFolderIsAFile,     // the month's folder of the diary
    YearListIsAFolder,      // the second page written
    PrivateMarksAreAFolder, // Diary/.private cannot be read: no day can be told public
};

void block(const TestAppDir &app, Blocker blocker)
{
    switch (blocker) {
    case Blocker::None:
        break;
    case Blocker::EntryFolderIsAFile:
        app.write(u"Diary/2004/08"_s, "file");
        break;
    case Blocker::PrivateMarksAreAFolder:
        QVERIFY(QDir(app.path()).mkpath(u"Diary/.private/in"_s));
        break;
    case Blocker::YearListIsAFolder:
        QVERIFY(QFile::remove(app.filePath(u"HTML/year.html"_s)));
        QVERIFY(QDir(app.path()).mkpath(u"HTML/year.html/in"_s));
        break;
    }
}

} // namespace

Q_DECLARE_METATYPE(Blocker)

class TestSiteChange : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_app = std::make_unique<TestAppDir>(); }
    void cleanup() { m_app.reset(); }

    void saveNamesThePagesItWrote_data();
    void saveNamesThePagesItWrote();
    void saveNamesTheRootFilesThatChanged_data();
    void saveNamesTheRootFilesThatChanged();
    void restoreNamesThePagesItWrote();
    void restoreOfADayTheBackupLacksChangesNothing();

private:
    std::unique_ptr<TestAppDir> m_app;
};

void TestSiteChange::saveNamesThePagesItWrote_data()
{
    QTest::addColumn<Blocker>("blocker");
    QTest::addColumn<Failure>("failure");
    QTest::addColumn<QStringList>("written");
    QTest::addColumn<bool>("entrySaved");
    // The newer day: latest.html now leads to it. The starters came with the first save.
    QTest::newRow("the four pages, the day's first")
        << Blocker::None << Failure::None
        << sitePagesOfDay(u"2004"_s, u"08"_s, u"17"_s) + QStringList{u"latest.html"_s} << true;
    QTest::newRow("entry not written: no page")
        << Blocker::EntryFolderIsAFile << Failure::Entry << QStringList{} << false;
    QTest::newRow("year list not written: the day page only")
        << Blocker::YearListIsAFolder << Failure::Pages << QStringList{u"2004/08/17.html"_s}
        << true;
    QTest::newRow("private marks unreadable: the entry only")
        << Blocker::PrivateMarksAreAFolder << Failure::Pages << QStringList{} << true;
}

void TestSiteChange::saveNamesThePagesItWrote()
{
    QFETCH(Blocker, blocker);
    QFETCH(Failure, failure);
    QFETCH(QStringList, written);
    QFETCH(bool, entrySaved);
    // Another day of the month already has its pages: a save writes the lists, not just adds.
    QVERIFY(journal::saveDay({u"2004"_s, u"08"_s, u"03"_s}, u"前の日"_s).ok());
    if (blocker == Blocker::EntryFolderIsAFile) // a month folder of its own to block
        QVERIFY(QDir(m_app->filePath(u"Diary/2004/08"_s)).removeRecursively());
    block(*m_app, blocker);

    const journal::SiteChange change = journal::saveDay({u"2004"_s, u"08"_s, u"17"_s}, u"晴れ"_s);
    QCOMPARE(change.failure, failure);
    QCOMPARE(change.ok(), failure == Failure::None);
    QCOMPARE(change.error.isEmpty(), change.ok());
    QCOMPARE(change.written, written);
    QCOMPARE(change.removed, QStringList());
    QCOMPARE(QFileInfo::exists(m_app->filePath(u"Diary/2004/08/17.dia"_s)), entrySaved);
    for (const QString &page : written)
        QVERIFY2(QFileInfo(m_app->filePath(u"HTML/"_s + page)).isFile(), qPrintable(page));
}

// One save before (2004/08/10 "十日", when saved is set), then a save of the day and text
// given: the root files it names are those whose bytes changed, after the four pages.
void TestSiteChange::saveNamesTheRootFilesThatChanged_data()
{
    QTest::addColumn<bool>("savedBefore");
    QTest::addColumn<bool>("publicUrl");
    QTest::addColumn<QString>("day");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("rootFiles");
    const QStringList starters{u"index.html"_s, u"kakiva.css"_s};
    QTest::newRow("first save, no public address")
        << false << false << u"10"_s << u"十日"_s << starters + QStringList{u"latest.html"_s};
    QTest::newRow("first save with a public address")
        << false << true << u"10"_s << u"十日"_s
        << starters + QStringList{u"latest.html"_s, u"atom.xml"_s};
    QTest::newRow("the same day and text again: nothing of the root")
        << true << true << u"10"_s << u"十日"_s << QStringList{};
    QTest::newRow("the same day with new text: the feed only")
        << true << true << u"10"_s << u"十日、雨"_s << QStringList{u"atom.xml"_s};
    QTest::newRow("an older day: the feed, not latest.html")
        << true << true << u"03"_s << u"三日"_s << QStringList{u"atom.xml"_s};
    QTest::newRow("a newer day: latest.html and the feed")
        << true << true << u"17"_s << u"十七日"_s << QStringList{u"latest.html"_s, u"atom.xml"_s};
    QTest::newRow("a newer day without a public address: no feed")
        << true << false << u"17"_s << u"十七日"_s << QStringList{u"latest.html"_s};
}

void TestSiteChange::saveNamesTheRootFilesThatChanged()
{
    QFETCH(bool, savedBefore);
    QFETCH(bool, publicUrl);
    QFETCH(QString, day);
    QFETCH(QString, text);
    QFETCH(QStringList, rootFiles);
    const QString url = publicUrl ? u"https://example.jp/diary/"_s : QString();
    if (savedBefore)
        QVERIFY(journal::saveDay({u"2004"_s, u"08"_s, u"10"_s}, u"十日"_s, url).ok());

    const journal::SiteChange change = journal::saveDay({u"2004"_s, u"08"_s, day}, text, url);
    QVERIFY2(change.ok(), qPrintable(change.error));
    QCOMPARE(change.error, QString());
    QCOMPARE(change.written, sitePagesOfDay(u"2004"_s, u"08"_s, day) + rootFiles);
    for (const QString &name : {u"index.html"_s, u"kakiva.css"_s, u"latest.html"_s})
        QVERIFY2(QFileInfo(m_app->filePath(u"HTML/"_s + name)).isFile(), qPrintable(name));
    QCOMPARE(QFileInfo::exists(m_app->filePath(u"HTML/atom.xml"_s)), publicUrl);
}

void TestSiteChange::restoreNamesThePagesItWrote()
{
    for (const QString &day : {u"01"_s, u"02"_s})
        QVERIFY(journal::saveDay({u"2004"_s, u"09"_s, day}, u"日記 "_s + day).ok());
    QString error, archive;
    QVERIFY2(writeBackupNow(&error, &archive), qPrintable(error));
    QVERIFY(journal::deleteDay({u"2004"_s, u"09"_s, u"02"_s}).ok());
    QVERIFY(!m_app->read(u"HTML/2004/09/index.html"_s).contains("02.html"));

    const journal::SiteChange change = journal::restoreDay(archive, QDate(2004, 9, 2));
    QVERIFY2(change.ok(), qPrintable(change.error));
    // latest.html leads to the day brought back, the newest again.
    QCOMPARE(change.written,
             sitePagesOfDay(u"2004"_s, u"09"_s, u"02"_s) + QStringList{u"latest.html"_s});
    QCOMPARE(change.removed, QStringList());
    QCOMPARE(m_app->read(u"Diary/2004/09/02.dia"_s), entryFileBytes(u"日記 02"_s));
    QVERIFY(m_app->read(u"HTML/2004/09/index.html"_s).contains("02.html"));
}

void TestSiteChange::restoreOfADayTheBackupLacksChangesNothing()
{
    QVERIFY(journal::saveDay({u"2004"_s, u"09"_s, u"01"_s}, u"一日"_s).ok());
    QString error, archive;
    QVERIFY2(writeBackupNow(&error, &archive), qPrintable(error));
    const QByteArray dayList = m_app->read(u"HTML/2004/09/index.html"_s);

    const journal::SiteChange change = journal::restoreDay(archive, QDate(2004, 9, 3));
    QCOMPARE(change.failure, Failure::Entry);
    verifyErrorNames(change.error, archive);
    QCOMPARE(change.written, QStringList());
    QVERIFY(!QFileInfo::exists(m_app->filePath(u"Diary/2004/09/03.dia"_s)));
    QCOMPARE(m_app->read(u"HTML/2004/09/index.html"_s), dayList);
}

QTEST_GUILESS_MAIN(TestSiteChange)
#include "TestSiteChange.moc"
