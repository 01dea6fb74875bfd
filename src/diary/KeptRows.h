#pragma once

#include "diary/KeptIndex.h"
#include "diary/TextSieve.h"

#include <QDate>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace Kakiva {

struct KeptDay
{
    QDate date;
    FileStamp stamp;
};

// The kept index opened for reading. Its rows stay on disk and pass through a small page
// cache as a search reads them, so the search holds little more than what it found. Each
// reader reads the file it opened until it goes: an index written meanwhile replaces the
// name, never the file under a reader. A search checks only that the rows it takes fit
// together, which is all that keeps it safe; the digests are left to the check of every row
// that follows each start, which says so when a row is damaged.
class KeptRows
{
public:
    enum class Order
    {
        NewestFirst,
        OldestFirst,
    };
    enum class Outcome
    {
        Done,
        // A row failed its check or could not be read: nothing kept can be trusted.
        Damaged,
        Stopped,
    };
    // Takes one row; false stops the scan. The entry's folded text may point into the row
    // read: it is valid only until take returns.
    using Take = std::function<bool(KeptEntry &&)>;

    // Nothing when there is no kept index at path, or it is of another format.
    static std::unique_ptr<KeptRows> open(const QString &path);
    // A second reader of the same file, opened now, for another thread.
    std::unique_ptr<KeptRows> openAgain() const;
    ~KeptRows();

    // Every row's day and the stamp its file had, newest first; nothing when they cannot
    // be read.
    std::optional<std::vector<KeptDay>> days() const;
    // Every row of a day wanted() accepts whose folded text holds all words, given to take.
    // With no words, every such row, checked whole with its sieve.
    Outcome scan(const QStringList &words, const std::function<bool(const QDate &)> &wanted,
                 const Take &take, Order order) const;
    // The bytes the reader's page cache holds.
    qsizetype bytesHeld() const;

private:
    KeptRows(sqlite3 *db, QString path);
    struct Passing
    {
        std::vector<qint64> days; // in the order of the scan
        size_t wanted = 0;        // the rows wanted, passing or not
    };
    // The days wanted whose sieve has every bit of wordSieve; nothing when the sieves
    // cannot be read.
    std::optional<Passing> passingDays(const TextSieve &wordSieve,
                                       const std::function<bool(const QDate &)> &wanted,
                                       Order order) const;
    // The rows of days looked up one by one.
    Outcome lookUp(const std::vector<qint64> &days, const QStringList &words,
                   const Take &take) const;
    // Every row whose day reads() accepts, in order; with no words, each row's sieve is
    // checked against its text as well.
    Outcome scanInOrder(const std::function<bool(qint64)> &reads, const QStringList &words,
                        const Take &take, Order order) const;
    // Gives take the row at hand when it holds the words.
    Outcome takeRow(sqlite3_stmt *row, const QStringList &words, QString &spare,
                    const Take &take) const;

    sqlite3 *m_db;
    QString m_path;
};

} // namespace Kakiva
