#include "diary/DiaryIndex.h"
#include "diary/DiaryReading.h"
#include "diary/KeptIndex.h"
#include "diary/TextSieve.h"

#include "EntryText.h"
#include "TestAppDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHashSeed>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <memory>
#include <optional>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>

using namespace Kakiva;
using namespace Qt::StringLiterals;

namespace {

// Pieces that fold in every way the search folds: katakana, half-width katakana with
// voiced marks, full-width Latin, letter case, squared forms, characters the code page
// lacks (kept as character references), line ends.
const QStringList Pieces{
    u"夕方に川沿いを散歩した。"_s, u"カレーを作りすぎた。"_s, u"ｶﾞｲﾄﾞﾌﾞｯｸを買った。"_s,
    u"ＰＣの調子が悪い。"_s,       u"PcとpC。"_s,            u"㍻の写真が出てきた。"_s,
    u"ｳｫﾝﾊﾞｯﾄ"_s,                u"ウォンバット"_s,        u"\n"_s,
    u"🐈と昼寝。"_s,              u"café と cafe\u0301"_s,  u"海へ行った。"_s,
    u"山も海も"_s,                u"ﾊﾟﾝ屋"_s,               u"①②③"_s,
};

const QStringList Queries{
    u"散歩"_s, u"かれー"_s, u"カレー"_s, u"ガイド"_s, u"pc"_s,  u"ＰＣ"_s, u"平成"_s,
    u"うぉんばっと"_s, u"🐈"_s, u"café"_s, u"海 山"_s, u"ぱん"_s, u"1"_s, u"。"_s,
    u"変わった日"_s, u"加わった日"_s,
    // Forms that fold to what the rows' sieves were taken from.
    u"ｳｫﾝﾊﾞｯﾄ"_s, u"ウォンバット"_s, u"ｶﾚｰ"_s, u"ＣＡＦＥ"_s, u"ｶﾞｲﾄﾞﾌﾞｯｸ"_s, u"海へ 🐈と"_s,
    // Characters every sieve of a row with "山も海も" has, never side by side in this order.
    u"海山"_s, u"も山"_s,
    // Found nowhere: its UTF-16 bytes are the second byte of "散" and the first of "歩",
    // which a search of the bytes must not take for a character.
    u"楥"_s,
};

const QDate FirstDay(2005, 1, 1);
const QDate LastDay(2024, 12, 31);
// The days the rows change; each has an entry in every diary the seed writes.
const QDate ChangedDay(2014, 7, 15);
const QDate AddedDay(2010, 2, 3);

QString entryPath(const QDate &date)
{
    return date.toString(u"'Diary'/yyyy/MM/dd'.dia'"_s);
}

QString randomEntry(std::mt19937 &random)
{
    std::uniform_int_distribution<qsizetype> piece(0, Pieces.size() - 1);
    std::uniform_int_distribution<int> length(1, 12);
    QString text;
    for (int i = length(random); i > 0; --i)
        text += Pieces[piece(random)];
    return text;
}

timespec modifiedTime(const QString &path)
{
    struct stat status;
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        qFatal("cannot stat %s", qPrintable(path));
    return status.st_mtim;
}

void setModifiedTime(const QString &path, timespec modified)
{
    const timespec times[2] = {modified, modified};
    if (::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) != 0)
        qFatal("cannot set the time of %s", qPrintable(path));
}

// "date markStart+markLength excerpt" for every hit of every query.
QStringList allResults(const DiaryIndex &index)
{
    QStringList rows;
    for (const QString &query : Queries) {
        rows << u"? "_s + query;
        for (const SearchHit &hit : index.search(query))
            rows << u"%1 %2+%3 %4"_s.arg(hit.date.toString(Qt::ISODate))
                        .arg(hit.excerpt.markStart)
                        .arg(hit.excerpt.markLength)
                        .arg(hit.excerpt.text);
    }
    return rows;
}

bool daysFound(const DiaryIndex &index, const QString &query, const QDate &date)
{
    const QList<SearchHit> hits = index.search(query);
    return std::any_of(hits.cbegin(), hits.cend(),
                       [&](const SearchHit &hit) { return hit.date == date; });
}

enum class Change
{
    Nothing,
    SameSizeNewerTime, // text replaced by one of the same size, written later
    SameTimeNewSize,   // text replaced, its write time set back to the kept one
    SameSizeSameTime,  // as a restore that sets the old time on a file of the same size
    Removed,
    Added,
    MonthRemoved,
    IndexDamaged,
    // One row's folded text changed on disk, the database around it whole: the stamps
    // pass and the search starts from the kept rows; the check of every row behind it
    // finds the row.
    RowDamaged,
    IndexTruncated,
    IndexEmpty,
    // The changed day's sieve cleared on disk, its text whole: a search passes the row
    // over until the check of every row finds it.
    SieveCleared,
    // The changed day's text replaced, its stamp set back, with the sieve it was kept with:
    // only a change of the inode's change time tells, and its new text is what is found.
    ChangedUnderOldSieve,
};

// The bytes of the sieve the kept index holds for the entry of date as it is on disk.
QByteArray sieveBytes(const QDate &date)
{
    const EntryReading reading = readForIndex(date);
    if (reading.outcome != EntryReading::Outcome::Read)
        qFatal("cannot read the entry of %s", qPrintable(date.toString(Qt::ISODate)));
    const TextSieve sieve = sieveOfText(reading.entry.folded.text);
    return QByteArray(reinterpret_cast<const char *>(sieve.bits.data()), sizeof sieve.bits);
}

} // namespace

class TestKeptIndex : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void keptAndFreshAgree_data();
    void keptAndFreshAgree();
    void sieveLetsThroughEveryPieceOfItsText_data();
    void sieveLetsThroughEveryPieceOfItsText();
    void rowDamagedUnderFirstSearchIsAnnounced();

private:
    void writeDiary();
    void change(Change what);
    // Reads the diary into a new index and waits until it kept what it read; expectWritten
    // says whether the kept index must have been written anew.
    std::unique_ptr<DiaryIndex> readyIndex(std::optional<bool> expectWritten);

    // One diary for every row: writing twenty years takes longer than comparing them.
    std::unique_ptr<TestAppDir> m_appDir;
    // The month of the changed day as written, put back after each row.
    QList<std::pair<QString, QByteArray>> m_changedMonth;
};

void TestKeptIndex::initTestCase()
{
    m_appDir = std::make_unique<TestAppDir>();
    writeDiary();
    const QDir month(QFileInfo(m_appDir->filePath(entryPath(ChangedDay))).path());
    for (const QFileInfo &file : month.entryInfoList(QDir::Files))
        m_changedMonth.append({file.filePath(), readWholeFile(file.filePath())});
}

void TestKeptIndex::cleanupTestCase()
{
    m_appDir.reset();
}

void TestKeptIndex::init()
{
    // Each row starts from a kept index that matches the diary.
    QVERIFY(readyIndex(std::nullopt));
}

void TestKeptIndex::cleanup()
{
    QDir().mkpath(QFileInfo(m_changedMonth.first().first).path());
    for (const auto &[path, bytes] : m_changedMonth)
        writeWholeFile(path, bytes);
    QFile::remove(m_appDir->filePath(entryPath(AddedDay)));
}

void TestKeptIndex::writeDiary()
{
    // Fixed seed: every run writes the same twenty years, a few days left empty.
    std::mt19937 random(25);
    std::bernoulli_distribution skipped(0.05);
    for (QDate date = FirstDay; date <= LastDay; date = date.addDays(1)) {
        if (date != ChangedDay && date != AddedDay.addDays(1) && skipped(random))
            continue;
        // The rows look for "。" on the changed day while it is there.
        const QString text = (date == ChangedDay ? Pieces.first() : QString()) + randomEntry(random);
        if (date != AddedDay)
            m_appDir->write(entryPath(date), entryFileBytes(text));
    }
}

std::unique_ptr<DiaryIndex> TestKeptIndex::readyIndex(std::optional<bool> expectWritten)
{
    auto index = std::make_unique<DiaryIndex>();
    QSignalSpy ready(index.get(), &DiaryIndex::ready);
    QSignalSpy kept(index.get(), &DiaryIndex::indexKept);
    index->prepare();
    if (!ready.wait(60000) || (kept.isEmpty() && !kept.wait(60000)))
        return nullptr;
    if (expectWritten && kept.first().at(0).toBool() != *expectWritten) {
        qWarning() << "kept index written:" << kept.first();
        return nullptr;
    }
    return index;
}

void TestKeptIndex::change(Change what)
{
    const QString changed = m_appDir->filePath(entryPath(ChangedDay));
    const QString kept = m_appDir->filePath(KeptIndexFileName);
    const QByteArray before = readWholeFile(changed);
    const timespec time = modifiedTime(changed);
    // Same length as the entry it replaces: one "変わった日" and padding.
    QByteArray sameSize = entryFileBytes(u"変わった日"_s);
    sameSize = sameSize.left(sameSize.size() - 2) +
               QByteArray(std::max<qsizetype>(0, before.size() - sameSize.size()), 'x') +
               "\r\n";
    switch (what) {
    case Change::Nothing:
        break;
    case Change::SameSizeNewerTime:
        QCOMPARE(sameSize.size(), before.size());
        writeWholeFile(changed, sameSize);
        setModifiedTime(changed, {time.tv_sec + 2, time.tv_nsec});
        break;
    case Change::SameTimeNewSize:
        writeWholeFile(changed, before + entryFileBytes(u"変わった日"_s));
        setModifiedTime(changed, time);
        break;
    case Change::SameSizeSameTime:
        QCOMPARE(sameSize.size(), before.size());
        writeWholeFile(changed, sameSize);
        setModifiedTime(changed, time);
        break;
    case Change::Removed:
        QVERIFY(QFile::remove(changed));
        break;
    case Change::Added:
        m_appDir->write(entryPath(AddedDay), entryFileBytes(u"加わった日"_s));
        break;
    case Change::MonthRemoved:
        QVERIFY(QDir(QFileInfo(changed).path()).removeRecursively());
        break;
    case Change::IndexDamaged: {
        QByteArray bytes = readWholeFile(kept);
        for (qsizetype at = 100; at < bytes.size(); at += 4096 / 3)
            bytes[at] = char(~bytes[at]);
        writeWholeFile(kept, bytes);
        break;
    }
    case Change::RowDamaged: {
        QByteArray bytes = readWholeFile(kept);
        const QString word = u"散歩"_s;
        const QByteArray folded(reinterpret_cast<const char *>(word.utf16()), word.size() * 2);
        const qsizetype at = bytes.indexOf(folded);
        QVERIFY(at > 0);
        bytes[at] = char(bytes[at] ^ 1);
        writeWholeFile(kept, bytes);
        break;
    }
    case Change::IndexTruncated:
        writeWholeFile(kept, readWholeFile(kept).left(100000));
        break;
    case Change::IndexEmpty:
        writeWholeFile(kept, {});
        break;
    case Change::SieveCleared: {
        QByteArray bytes = readWholeFile(kept);
        const QByteArray sieve = sieveBytes(ChangedDay);
        const qsizetype at = bytes.indexOf(sieve);
        QVERIFY(at > 0);
        bytes.replace(at, sieve.size(), QByteArray(sieve.size(), '\0'));
        writeWholeFile(kept, bytes);
        break;
    }
    case Change::ChangedUnderOldSieve:
        QCOMPARE(sameSize.size(), before.size());
        writeWholeFile(changed, sameSize);
        setModifiedTime(changed, time);
        // The kept sieve lacks the new text's pairs.
        QVERIFY(!readWholeFile(kept).contains(sieveBytes(ChangedDay)));
        break;
    }
}

void TestKeptIndex::keptAndFreshAgree_data()
{
    QTest::addColumn<Change>("what");
    QTest::addColumn<bool>("rewritten");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QDate>("day");
    QTest::addColumn<bool>("dayFound");

    const QString changedWord = u"変わった日"_s;
    const QString otherWord = u"。"_s;
    QTest::newRow("nothing changed") << Change::Nothing << false << otherWord << ChangedDay << true;
    QTest::newRow("same size, newer write time")
        << Change::SameSizeNewerTime << true << changedWord << ChangedDay << true;
    QTest::newRow("same write time, new size")
        << Change::SameTimeNewSize << true << changedWord << ChangedDay << true;
    QTest::newRow("same size and write time, restored over")
        << Change::SameSizeSameTime << true << changedWord << ChangedDay << true;
    QTest::newRow("entry removed") << Change::Removed << true << otherWord << ChangedDay << false;
    QTest::newRow("entry added")
        << Change::Added << true << u"加わった日"_s << AddedDay << true;
    QTest::newRow("month removed")
        << Change::MonthRemoved << true << otherWord << ChangedDay << false;
    QTest::newRow("index damaged") << Change::IndexDamaged << true << otherWord << ChangedDay << true;
    QTest::newRow("one row damaged")
        << Change::RowDamaged << true << u"散歩"_s << ChangedDay << true;
    QTest::newRow("index truncated")
        << Change::IndexTruncated << true << otherWord << ChangedDay << true;
    QTest::newRow("index empty") << Change::IndexEmpty << true << otherWord << ChangedDay << true;
    QTest::newRow("one sieve cleared")
        << Change::SieveCleared << true << u"散歩"_s << ChangedDay << true;
    QTest::newRow("changed by hand, kept sieve stale")
        << Change::ChangedUnderOldSieve << true << changedWord << ChangedDay << true;
}

void TestKeptIndex::keptAndFreshAgree()
{
    QFETCH(Change, what);
    QFETCH(bool, rewritten);
    QFETCH(QString, query);
    QFETCH(QDate, day);
    QFETCH(bool, dayFound);

    change(what);
    if (QTest::currentTestFailed())
        return;

    // A later run answers from the kept index, brought up to date; it hashes with a seed
    // of its own.
    QHashSeed::resetRandomGlobalSeed();
    const std::unique_ptr<DiaryIndex> kept = readyIndex(rewritten);
    QVERIFY(kept);
    QCOMPARE(daysFound(*kept, query, day), dayFound);

    // Today's way: every entry read and folded, nothing kept to start from.
    QVERIFY(QFile::remove(m_appDir->filePath(KeptIndexFileName)));
    const std::unique_ptr<DiaryIndex> fresh = readyIndex(true);
    QVERIFY(fresh);
    QCOMPARE(kept->entryCount(), fresh->entryCount());
    QCOMPARE(kept->unreadableCount(), fresh->unreadableCount());
    QCOMPARE(allResults(*kept), allResults(*fresh));
}

void TestKeptIndex::sieveLetsThroughEveryPieceOfItsText_data()
{
    QTest::addColumn<QString>("text");

    QTest::newRow("kana and kanji") << u"夕方に川沿いを散歩した。"_s;
    QTest::newRow("half-width katakana with voiced marks") << u"ｶﾞｲﾄﾞﾌﾞｯｸを買った。"_s;
    QTest::newRow("full-width and squared forms") << u"ＰＣの㍻の写真"_s;
    QTest::newRow("outside the basic plane") << u"🐈と昼寝。🐈"_s;
    QTest::newRow("combining mark") << u"café と cafe\u0301"_s;
    QTest::newRow("across a line end") << u"山も\r\n海も"_s;
    QTest::newRow("one character") << u"海"_s;
}

void TestKeptIndex::sieveLetsThroughEveryPieceOfItsText()
{
    QFETCH(QString, text);

    // Every word a search could find in the text, as the search folds it, passes the
    // text's sieve: the sieve may only ever turn away texts that cannot match.
    const QString folded = foldForSearch(text).text;
    const TextSieve sieve = sieveOfText(folded);
    for (qsizetype start = 0; start < folded.size(); ++start) {
        for (qsizetype length = 1; start + length <= folded.size(); ++length) {
            const QString word = folded.mid(start, length);
            if (!sieve.covers(sieveOfWords(searchWords(word))))
                QFAIL(qPrintable(u"turned away: "_s + word));
        }
    }
}

void TestKeptIndex::rowDamagedUnderFirstSearchIsAnnounced()
{
    change(Change::RowDamaged);
    if (QTest::currentTestFailed())
        return;
    const QString word = u"散歩"_s;

    // The first search answers before the rows are checked; the check that follows it finds
    // the damage and says the answer may be out of date.
    DiaryIndex index;
    QSignalSpy ready(&index, &DiaryIndex::ready);
    QSignalSpy changed(&index, &DiaryIndex::changed);
    index.prepare();
    QVERIFY(ready.wait(60000));
    index.search(word);
    QVERIFY(changed.wait(60000));
    const QList<SearchHit> afterCheck = index.search(word);

    QVERIFY(QFile::remove(m_appDir->filePath(KeptIndexFileName)));
    const std::unique_ptr<DiaryIndex> fresh = readyIndex(true);
    QVERIFY(fresh);
    const QList<SearchHit> expected = fresh->search(word);
    QVERIFY(!expected.isEmpty());
    QCOMPARE(afterCheck.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        QCOMPARE(afterCheck[i].date, expected[i].date);
        QCOMPARE(afterCheck[i].excerpt.text, expected[i].excerpt.text);
    }
}

QTEST_GUILESS_MAIN(TestKeptIndex)
#include "TestKeptIndex.moc"
