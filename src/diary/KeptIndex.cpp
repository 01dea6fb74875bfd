#include "diary/KeptIndex.h"

#include "platform/WholeFile.h"

#include <QFile>
#include <QSaveFile>

#include <sqlite3.h>

#include <cstring>
#include <memory>

namespace Kakiva {

namespace {

// Raised whenever what a row holds changes meaning; an index of another format is read
// as none and built again.
constexpr int KeptFormat = 1;
// Seeds the digest of each row, which finds a row damaged on disk before it is trusted.
constexpr quint64 DigestSeed = 0xcbf29ce484222325ULL;

constexpr const char *Schema =
    "CREATE TABLE entry(day INTEGER PRIMARY KEY, size INTEGER NOT NULL,"
    " modified INTEGER NOT NULL, changed INTEGER NOT NULL, folded BLOB NOT NULL,"
    " anchors BLOB NOT NULL, shifts BLOB NOT NULL, text BLOB, digest INTEGER NOT NULL)";

struct CloseDatabase
{
    void operator()(sqlite3 *db) const { sqlite3_close(db); }
};
using Database = std::unique_ptr<sqlite3, CloseDatabase>;

struct FinalizeStatement
{
    void operator()(sqlite3_stmt *statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, FinalizeStatement>;

Database openInMemory()
{
    sqlite3 *db = nullptr;
    const int status = sqlite3_open(":memory:", &db);
    Database owned(db);
    return status == SQLITE_OK ? std::move(owned) : nullptr;
}

Statement prepare(sqlite3 *db, const char *sql)
{
    sqlite3_stmt *statement = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
    return Statement(statement);
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

// Everything a row holds, digested.
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

std::optional<KeptEntry> keptEntry(sqlite3_stmt *row)
{
    KeptEntry kept;
    kept.entry.date = QDate::fromJulianDay(sqlite3_column_int64(row, 0));
    kept.stamp = {sqlite3_column_int64(row, 1), sqlite3_column_int64(row, 2),
                  sqlite3_column_int64(row, 3)};
    std::optional<QString> folded = columnText(row, 4);
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
    if (sqlite3_column_int64(row, 8) != rowDigest(kept) || !fitsTogether(kept.entry))
        return std::nullopt;
    return kept;
}

bool hasKeptFormat(sqlite3 *db)
{
    const Statement version = prepare(db, "PRAGMA user_version");
    return version && sqlite3_step(version.get()) == SQLITE_ROW &&
           sqlite3_column_int(version.get(), 0) == KeptFormat;
}

// Binds bytes as a blob; an empty one stays a blob, not a null.
void bindBytes(sqlite3_stmt *statement, int column, const void *bytes, qsizetype size)
{
    if (size == 0)
        sqlite3_bind_zeroblob(statement, column, 0);
    else
        sqlite3_bind_blob64(statement, column, bytes, sqlite3_uint64(size), SQLITE_STATIC);
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

// The whole index as the bytes of one database, built in memory.
std::optional<QByteArray> serializedIndex(const std::vector<KeptEntry> &entries, QString *error)
{
    const Database db = openInMemory();
    const QByteArray setup = QByteArray("PRAGMA user_version = ") + QByteArray::number(KeptFormat) +
                             "; " + Schema + "; BEGIN";
    if (!db || sqlite3_exec(db.get(), setup.constData(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        if (error)
            *error = db ? QString::fromUtf8(sqlite3_errmsg(db.get()))
                        : QStringLiteral("cannot open a database in memory");
        return std::nullopt;
    }
    const Statement insert = prepare(db.get(), "INSERT INTO entry VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
    bool stored = bool(insert);
    // Oldest first: rows appended in key order fill their pages, where rows put in front
    // of the others would leave every page half empty.
    for (auto kept = entries.crbegin(); stored && kept != entries.crend(); ++kept)
        stored = insertEntry(insert.get(), *kept);
    if (!stored || sqlite3_exec(db.get(), "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
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

std::optional<std::vector<KeptEntry>> readKeptIndex(const QString &path)
{
    // Read whole and searched in memory: the file is never held open, so nothing is
    // locked against another run replacing it, and a damaged one is simply refused.
    // Mapped rather than copied: the pages go back to the file cache once the rows are
    // taken, instead of leaving a hole the size of the file in the heap.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() == 0)
        return std::nullopt;
    uchar *bytes = file.map(0, file.size(), QFileDevice::MapPrivateOption);
    const Database db = openInMemory();
    if (!bytes || !db ||
        sqlite3_deserialize(db.get(), "main", bytes, file.size(), file.size(),
                            SQLITE_DESERIALIZE_READONLY) != SQLITE_OK ||
        !hasKeptFormat(db.get()))
        return std::nullopt;
    const Statement rows = prepare(
        db.get(), "SELECT day, size, modified, changed, folded, anchors, shifts, text, digest"
                  " FROM entry"
                  " ORDER BY day DESC");
    if (!rows)
        return std::nullopt;
    std::vector<KeptEntry> entries;
    int status = SQLITE_ROW;
    while ((status = sqlite3_step(rows.get())) == SQLITE_ROW) {
        std::optional<KeptEntry> kept = keptEntry(rows.get());
        if (!kept)
            return std::nullopt;
        entries.push_back(std::move(*kept));
    }
    if (status != SQLITE_DONE)
        return std::nullopt;
    return entries;
}

bool writeKeptIndex(const QString &path, const std::vector<KeptEntry> &entries, QString *error)
{
    const std::optional<QByteArray> bytes = serializedIndex(entries, error);
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
