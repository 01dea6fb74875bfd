#include "diary/KeptRows.h"

#include "diary/EntryMatch.h"
#include "diary/KeptSqlite.h"
#include "diary/TextSieve.h"

#include <QUrl>

#include <algorithm>
#include <cstring>

namespace Kakiva {

namespace {

// Enough for the pages of the stamps and a few of rows; a search streams the rest.
constexpr const char *ReaderSettings = "PRAGMA cache_size = -512; PRAGMA mmap_size = 0";

// The folded text of the row at hand as characters. A blob at an odd address is copied
// into spare first.
QStringView foldedColumn(sqlite3_stmt *row, QString &spare)
{
    const void *bytes = sqlite3_column_blob(row, FoldedColumn);
    const qsizetype length = sqlite3_column_bytes(row, FoldedColumn) / qsizetype(sizeof(QChar));
    if (!bytes || length == 0)
        return {};
    if (reinterpret_cast<quintptr>(bytes) % alignof(char16_t) == 0)
        return {static_cast<const char16_t *>(bytes), length};
    spare.resize(length);
    std::memcpy(spare.data(), bytes, size_t(length) * sizeof(QChar));
    return spare;
}

bool holdsAll(QStringView folded, const QStringList &words)
{
    return std::all_of(words.cbegin(), words.cend(),
                       [folded](const QString &word) { return findWord(folded, word) >= 0; });
}

sqlite3 *openReader(const QString &path)
{
    // Immutable: the file is only ever replaced whole, never changed in place, so the reader
    // takes no locks and never looks for a journal. No mutex: a reader is used by one
    // thread at a time (handed over once, from the thread that opened it).
    const QByteArray uri = QUrl::fromLocalFile(path).toEncoded() + "?immutable=1";
    sqlite3 *db = nullptr;
    const int status = sqlite3_open_v2(
        uri.constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX,
        nullptr);
    Database owned(db);
    if (status != SQLITE_OK ||
        sqlite3_exec(db, ReaderSettings, nullptr, nullptr, nullptr) != SQLITE_OK ||
        !hasKeptFormat(db))
        return nullptr;
    return owned.release();
}

} // namespace

std::unique_ptr<KeptRows> KeptRows::open(const QString &path)
{
    sqlite3 *db = openReader(path);
    if (!db)
        return nullptr;
    return std::unique_ptr<KeptRows>(new KeptRows(db, path));
}

std::unique_ptr<KeptRows> KeptRows::openAgain() const
{
    sqlite3 *db = openReader(m_path);
    if (!db)
        return nullptr;
    return std::unique_ptr<KeptRows>(new KeptRows(db, m_path));
}

KeptRows::KeptRows(sqlite3 *db, QString path) : m_db(db), m_path(std::move(path))
{
}

KeptRows::~KeptRows()
{
    sqlite3_close(m_db);
}

std::optional<std::vector<KeptDay>> KeptRows::days() const
{
    const Statement rows = prepareStatement(
        m_db, "SELECT day, size, modified, changed FROM entry INDEXED BY entry_stamp"
              " ORDER BY day DESC");
    if (!rows)
        return std::nullopt;
    std::vector<KeptDay> days;
    int status = SQLITE_ROW;
    while ((status = sqlite3_step(rows.get())) == SQLITE_ROW) {
        const QDate date = QDate::fromJulianDay(sqlite3_column_int64(rows.get(), 0));
        if (!date.isValid() || (!days.empty() && days.back().date <= date))
            return std::nullopt;
        days.push_back({date,
                        {sqlite3_column_int64(rows.get(), 1), sqlite3_column_int64(rows.get(), 2),
                         sqlite3_column_int64(rows.get(), 3)}});
    }
    if (status != SQLITE_DONE)
        return std::nullopt;
    return days;
}

std::optional<KeptRows::Passing> KeptRows::passingDays(
    const TextSieve &wordSieve, const std::function<bool(const QDate &)> &wanted,
    Order order) const
{
    const QByteArray sql = QByteArray("SELECT day, bits FROM sieve ORDER BY day ") +
                           (order == Order::NewestFirst ? "DESC" : "ASC");
    const Statement sieves = prepareStatement(m_db, sql.constData());
    if (!sieves)
        return std::nullopt;
    Passing passing;
    int status = SQLITE_ROW;
    while ((status = sqlite3_step(sieves.get())) == SQLITE_ROW) {
        const qint64 day = sqlite3_column_int64(sieves.get(), 0);
        if (!wanted(QDate::fromJulianDay(day)))
            continue;
        ++passing.wanted;
        // A sieve of the wrong size passes: its row is read, and the check of every row
        // finds the sieve.
        const std::optional<TextSieve> sieve = sieveColumn(sieves.get(), 1);
        if (!sieve || sieve->covers(wordSieve))
            passing.days.push_back(day);
    }
    if (status != SQLITE_DONE)
        return std::nullopt;
    return passing;
}

KeptRows::Outcome KeptRows::takeRow(sqlite3_stmt *row, const QStringList &words,
                                    QString &spare, const Take &take) const
{
    // Only a row that holds the words is taken apart. Taking a digest of every row found
    // would cost a common word's search as much again, and the check of every row that
    // follows each start finds a damaged one all the same.
    const bool everyRow = words.isEmpty();
    if (!everyRow && !holdsAll(foldedColumn(row, spare), words))
        return Outcome::Done;
    std::optional<KeptEntry> kept =
        keptEntry(row, everyRow ? RowCheck::Whole : RowCheck::FitOnly, RowTexts::Borrowed);
    if (!kept)
        return Outcome::Damaged;
    return take(std::move(*kept)) ? Outcome::Done : Outcome::Stopped;
}

KeptRows::Outcome KeptRows::scan(const QStringList &words,
                                 const std::function<bool(const QDate &)> &wanted,
                                 const Take &take, Order order) const
{
    const auto wantedDay = [&wanted](qint64 day) {
        return wanted(QDate::fromJulianDay(day));
    };
    // A word of one pair lets through too many rows to pay for reading the sieves.
    const TextSieve wordSieve = sieveOfWords(words);
    if (wordSieve.bitCount() < 2)
        return scanInOrder(wantedDay, words, take, order);
    // The rows whose sieve lacks a bit of the words cannot hold them: only the others'
    // texts are read.
    const std::optional<Passing> passing = passingDays(wordSieve, wanted, order);
    if (!passing)
        return Outcome::Damaged;
    // Looking up a row costs a few steps through the tree where the next in order costs
    // one: when many pass, all are read in order and the others skipped.
    if (passing->days.size() * 8 < passing->wanted)
        return lookUp(passing->days, words, take);
    auto next = passing->days.cbegin();
    const Outcome outcome = scanInOrder(
        [&](qint64 day) {
            const bool passes = next != passing->days.cend() && *next == day;
            next += passes ? 1 : 0;
            return passes;
        },
        words, take, order);
    // A sieve names a day the rows lack: the file is not what was written.
    return outcome == Outcome::Done && next != passing->days.cend() ? Outcome::Damaged
                                                                     : outcome;
}

KeptRows::Outcome KeptRows::lookUp(const std::vector<qint64> &days, const QStringList &words,
                                   const Take &take) const
{
    const QByteArray sql = QByteArray("SELECT ") + KeptColumns + " FROM entry WHERE day = ?";
    const Statement row = prepareStatement(m_db, sql.constData());
    if (!row)
        return Outcome::Damaged;
    QString spare;
    for (const qint64 day : days) {
        sqlite3_reset(row.get());
        sqlite3_bind_int64(row.get(), 1, day);
        // A sieve names a day the rows lack: the file is not what was written.
        if (sqlite3_step(row.get()) != SQLITE_ROW)
            return Outcome::Damaged;
        const Outcome outcome = takeRow(row.get(), words, spare, take);
        if (outcome != Outcome::Done)
            return outcome;
    }
    return Outcome::Done;
}

KeptRows::Outcome KeptRows::scanInOrder(const std::function<bool(qint64)> &reads,
                                        const QStringList &words, const Take &take,
                                        Order order) const
{
    // Every row, as the check of every row asks, comes with its sieve to be checked too.
    const bool everyRow = words.isEmpty();
    const QByteArray sql = QByteArray("SELECT ") + KeptColumns +
                           (everyRow ? ", bits FROM entry LEFT JOIN sieve USING (day)"
                                     : " FROM entry") +
                           " ORDER BY day " + (order == Order::NewestFirst ? "DESC" : "ASC");
    const Statement rows = prepareStatement(m_db, sql.constData());
    if (!rows)
        return Outcome::Damaged;
    constexpr int SieveColumn = 9;
    QString spare;
    int status = SQLITE_ROW;
    while ((status = sqlite3_step(rows.get())) == SQLITE_ROW) {
        if (!reads(sqlite3_column_int64(rows.get(), 0)))
            continue;
        // A sieve missing, damaged or not the text's would hide the row from searches.
        if (everyRow && sieveColumn(rows.get(), SieveColumn) !=
                            sieveOfText(foldedColumn(rows.get(), spare)))
            return Outcome::Damaged;
        const Outcome outcome = takeRow(rows.get(), words, spare, take);
        if (outcome != Outcome::Done)
            return outcome;
    }
    return status == SQLITE_DONE ? Outcome::Done : Outcome::Damaged;
}

qsizetype KeptRows::bytesHeld() const
{
    int current = 0;
    int highest = 0;
    sqlite3_db_status(m_db, SQLITE_DBSTATUS_CACHE_USED, &current, &highest, 0);
    return current;
}

} // namespace Kakiva
