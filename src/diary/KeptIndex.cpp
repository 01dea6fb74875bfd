#include "diary/KeptIndex.h"

#include "platform/WholeFile.h"

#include "diary/KeptSqlite.h"
#include "diary/TextSieve.h"

#include <QSaveFile>

#include <algorithm>
#include <cstring>

namespace Kakiva {

namespace {

// Raised whenever what the file holds changes meaning, the bits of the sieves among it; an
// index of another format is read as none and built again.
constexpr int KeptFormat = 3;
// Seeds the digest of each row, which finds a row damaged on disk before it is trusted.
constexpr quint64 DigestSeed = 0xcbf29ce484222325ULL;

constexpr const char *Schema =
    "CREATE TABLE entry(day INTEGER PRIMARY KEY, size INTEGER NOT NULL,"
    " modified INTEGER NOT NULL, changed INTEGER NOT NULL, folded BLOB NOT NULL,"
    " anchors BLOB NOT NULL, shifts BLOB NOT NULL, text BLOB, digest INTEGER NOT NULL);"
    // Apart from the texts, so that a search reads the sieves of every row and the texts
    // only of the rows that pass; the check of every row takes each sieve again from its
    // text and compares.
    " CREATE TABLE sieve(day INTEGER PRIMARY KEY, bits BLOB NOT NULL)";
// The stamps alone, so that checking them against the files reads a few pages, not the
// texts.
constexpr const char *StampIndex =
    "CREATE INDEX entry_stamp ON entry(day, size, modified, changed)";

Database openInMemory()
{
    sqlite3 *db = nullptr;
    const int status = sqlite3_open(":memory:", &db);
    Database owned(db);
    return status == SQLITE_OK ? std::move(owned) : nullptr;
}

// The column as a list of plain values; nothing when its size is not a whole number of them.
template <typename T> std::optional<QList<T>> columnList(sqlite3_stmt *row, int column)
{
    const int bytes = sqlite3_column_bytes(row, column);
    if (bytes % int(sizeof(T)) != 0)
        return std::nullopt;
    QList<T> values(bytes / int(sizeof(T)));
    if (bytes > 0)
        std::memcpy(values.data(), sqlite3_column_blob(row, column), size_t(bytes));
    return values;
}

std::optional<QString> columnText(sqlite3_stmt *row, int column)
{
    const int bytes = sqlite3_column_bytes(row, column);
    if (bytes % int(sizeof(QChar)) != 0)
        return std::nullopt;
    QString text(bytes / int(sizeof(QChar)), Qt::Uninitialized);
    if (bytes > 0)
        std::memcpy(text.data(), sqlite3_column_blob(row, column), size_t(bytes));
    return text;
}

// The column's characters where the row holds them, without a copy unless they sit at an
// odd address.
std::optional<QString> borrowedText(sqlite3_stmt *row, int column)
{
    const void *bytes = sqlite3_column_blob(row, column);
    const int size = sqlite3_column_bytes(row, column);
    if (size % int(sizeof(QChar)) != 0)
        return std::nullopt;
    if (size == 0 || reinterpret_cast<quintptr>(bytes) % alignof(QChar) != 0)
        return columnText(row, column);
    return QString::fromRawData(static_cast<const QChar *>(bytes), size / qsizetype(sizeof(QChar)));
}

// A digest that is the same in every run (Qt's hashes are seeded anew per process):
// eight bytes at a time, multiplied and folded, enough to tell a damaged row.
quint64 digestBytes(const void *data, size_t size, quint64 digest)
{
    constexpr quint64 Prime = 0x100000001b3ULL;
    const auto *bytes = static_cast<const uchar *>(data);
    for (; size >= 8; bytes += 8, size -= 8) {
        quint64 word;
        std::memcpy(&word, bytes, 8);
        digest = (digest ^ word) * Prime;
        digest ^= digest >> 29;
    }
    for (; size > 0; ++bytes, --size)
        digest = (digest ^ *bytes) * Prime;
    return (digest ^ 0xff) * Prime;
}

template <typename T> quint64 digestOf(const QList<T> &values, quint64 digest)
{
    return digestBytes(values.constData(), size_t(values.size()) * sizeof(T), digest);
}

// Everything a row holds, digested. Its sieve lives apart and is checked against the text.
qint64 rowDigest(const KeptEntry &kept)
{
    const FileStamp &stamp = kept.stamp;
    const qint64 fields[] = {kept.entry.date.toJulianDay(), stamp.size, stamp.modifiedNs,
                             stamp.changedNs, kept.entry.text.isNull() ? 0 : 1};
    quint64 digest = digestBytes(fields, sizeof fields, DigestSeed);
    digest = digestBytes(kept.entry.folded.text.constData(),
                         size_t(kept.entry.folded.text.size()) * sizeof(QChar), digest);
    digest = digestOf(kept.entry.folded.anchors, digest);
    digest = digestOf(kept.entry.shifts, digest);
    digest = digestBytes(kept.entry.text.constData(),
                         size_t(kept.entry.text.size()) * sizeof(QChar), digest);
    return qint64(digest);
}

// A row whose texts and maps fit together: searching it can never reach outside them.
bool fitsTogether(const IndexedEntry &entry)
{
    if (!entry.date.isValid())
        return false;
    if (entry.text.isNull())
        return shiftsFit(entry.shifts, entry.folded.text.size()) &&
               entry.folded.mapsInto(entry.folded.text.size());
    // The text is kept only where folding changed the length.
    return entry.shifts.isEmpty() && !entry.text.isEmpty() &&
           entry.text.size() != entry.folded.text.size() &&
           entry.folded.mapsInto(entry.text.size());
}

} // namespace

Statement prepareStatement(sqlite3 *db, const char *sql)
{
    sqlite3_stmt *statement = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
    return Statement(statement);
}

std::optional<TextSieve> sieveColumn(sqlite3_stmt *row, int column)
{
    TextSieve sieve;
    if (sqlite3_column_bytes(row, column) != int(sizeof sieve.bits))
        return std::nullopt;
    std::memcpy(sieve.bits.data(), sqlite3_column_blob(row, column), sizeof sieve.bits);
    return sieve;
}

std::optional<KeptEntry> keptEntry(sqlite3_stmt *row, RowCheck check, RowTexts texts)
{
    KeptEntry kept;
    kept.entry.date = QDate::fromJulianDay(sqlite3_column_int64(row, 0));
    kept.stamp = {sqlite3_column_int64(row, 1), sqlite3_column_int64(row, 2),
                  sqlite3_column_int64(row, 3)};
    std::optional<QString> folded =
        texts == RowTexts::Borrowed ? borrowedText(row, FoldedColumn) : columnText(row, FoldedColumn);
    std::optional<QList<FoldedText::Anchor>> anchors = columnList<FoldedText::Anchor>(row, 5);
    std::optional<QList<TextShift>> shifts = columnList<TextShift>(row, 6);
    if (!folded || !anchors || !shifts)
        return std::nullopt;
    kept.entry.folded = {std::move(*folded), std::move(*anchors)};
    kept.entry.shifts = std::move(*shifts);
    if (sqlite3_column_type(row, 7) != SQLITE_NULL) {
        std::optional<QString> text = columnText(row, 7);
        if (!text)
            return std::nullopt;
        kept.entry.text = std::move(*text);
    }
    if ((check == RowCheck::Whole && sqlite3_column_int64(row, 8) != rowDigest(kept)) ||
        !fitsTogether(kept.entry))
        return std::nullopt;
    return kept;
}

bool hasKeptFormat(sqlite3 *db)
{
    const Statement version = prepareStatement(db, "PRAGMA user_version");
    return version && sqlite3_step(version.get()) == SQLITE_ROW &&
           sqlite3_column_int(version.get(), 0) == KeptFormat;
}

namespace {

// Binds bytes as a blob; an empty one stays a blob, not a null.
void bindBytes(sqlite3_stmt *statement, int column, const void *bytes, qsizetype size)
{
    if (size == 0)
        sqlite3_bind_zeroblob(statement, column, 0);
    else
        sqlite3_bind_blob64(statement, column, bytes, sqlite3_uint64(size), SQLITE_STATIC);
}

bool insertSieve(sqlite3_stmt *insert, const QDate &date, const TextSieve &sieve)
{
    sqlite3_reset(insert);
    sqlite3_bind_int64(insert, 1, date.toJulianDay());
    bindBytes(insert, 2, sieve.bits.data(), qsizetype(sizeof sieve.bits));
    return sqlite3_step(insert) == SQLITE_DONE;
}

bool insertEntry(sqlite3_stmt *insert, const KeptEntry &kept)
{
    const IndexedEntry &entry = kept.entry;
    sqlite3_reset(insert);
    sqlite3_bind_int64(insert, 1, entry.date.toJulianDay());
    sqlite3_bind_int64(insert, 2, kept.stamp.size);
    sqlite3_bind_int64(insert, 3, kept.stamp.modifiedNs);
    sqlite3_bind_int64(insert, 4, kept.stamp.changedNs);
    bindBytes(insert, 5, entry.folded.text.constData(),
              entry.folded.text.size() * qsizetype(sizeof(QChar)));
    bindBytes(insert, 6, entry.folded.anchors.constData(),
              entry.folded.anchors.size() * qsizetype(sizeof(FoldedText::Anchor)));
    bindBytes(insert, 7, entry.shifts.constData(),
              entry.shifts.size() * qsizetype(sizeof(TextShift)));
    if (entry.text.isNull())
        sqlite3_bind_null(insert, 8);
    else
        bindBytes(insert, 8, entry.text.constData(), entry.text.size() * qsizetype(sizeof(QChar)));
    sqlite3_bind_int64(insert, 9, rowDigest(kept));
    return sqlite3_step(insert) == SQLITE_DONE;
}

// The whole index as the bytes of one database, built in memory from the entries fill
// gives, oldest first.
std::optional<QByteArray> serializedIndex(const KeptEntryFill &fill, QString *error)
{
    const Database db = openInMemory();
    // Large pages, set before anything else makes the database: a search reads every row
    // through a small cache, one read per page.
    const QByteArray setup = QByteArray("PRAGMA page_size = 65536; PRAGMA user_version = ") + QByteArray::number(KeptFormat) +
                             "; " + Schema + "; BEGIN";
    if (!db || sqlite3_exec(db.get(), setup.constData(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        if (error)
            *error = db ? QString::fromUtf8(sqlite3_errmsg(db.get()))
                        : QStringLiteral("cannot open a database in memory");
        return std::nullopt;
    }
    const Statement insert =
        prepareStatement(db.get(), "INSERT INTO entry VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
    const Statement insertSieves = prepareStatement(db.get(), "INSERT INTO sieve VALUES (?, ?)");
    bool inserted = insert && insertSieves;
    // Oldest first: rows appended in key order fill their pages, where rows put in front
    // of the others would leave every page half empty.
    const bool filled = inserted && fill([&](const KeptEntry &kept) {
        return inserted =
                   insertEntry(insert.get(), kept) &&
                   insertSieve(insertSieves.get(), kept.entry.date,
                               sieveOfText(kept.entry.folded.text));
    });
    if (!filled) {
        if (error)
            *error = inserted ? QStringLiteral("the kept entries could not all be read")
                              : QString::fromUtf8(sqlite3_errmsg(db.get()));
        return std::nullopt;
    }
    if (sqlite3_exec(db.get(), StampIndex, nullptr, nullptr, nullptr) != SQLITE_OK ||
        sqlite3_exec(db.get(), "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        if (error)
            *error = QString::fromUtf8(sqlite3_errmsg(db.get()));
        return std::nullopt;
    }
    sqlite3_int64 size = 0;
    unsigned char *bytes = sqlite3_serialize(db.get(), "main", &size, 0);
    if (!bytes) {
        if (error)
            *error = QStringLiteral("cannot serialize the search index");
        return std::nullopt;
    }
    QByteArray serialized(reinterpret_cast<const char *>(bytes), qsizetype(size));
    sqlite3_free(bytes);
    return serialized;
}

} // namespace

bool writeKeptIndex(const QString &path, const std::vector<KeptEntry> &entries, QString *error)
{
    return writeKeptIndex(
        path,
        [&entries](const KeptEntryAdd &add) {
            return std::all_of(entries.crbegin(), entries.crend(), add);
        },
        error);
}

bool writeKeptIndex(const QString &path, const KeptEntryFill &fill, QString *error)
{
    const std::optional<QByteArray> bytes = serializedIndex(fill, error);
    if (!bytes)
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(*bytes) != bytes->size() ||
        !file.commit()) {
        if (error)
            *error = fileErrorMessage(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace Kakiva
