#pragma once

#include "diary/KeptIndex.h"
#include "diary/TextSieve.h"

#include <sqlite3.h>

#include <memory>
#include <optional>

// What writing and reading the kept index share: the database handles and how one row
// reads back.

namespace Kakiva {

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

// Null when sql does not compile.
Statement prepareStatement(sqlite3 *db, const char *sql);

// The columns in the order every query of whole rows selects them.
inline constexpr const char *KeptColumns =
    "day, size, modified, changed, folded, anchors, shifts, text, digest";
inline constexpr int FoldedColumn = 4;

enum class RowCheck
{
    // Against its digest and against what folding can give.
    Whole,
    // Against what folding can give only, for a file whose every row passed the whole check.
    FitOnly,
};
enum class RowTexts
{
    Copied,
    // The folded text points into the row: valid until the statement moves on.
    Borrowed,
};

// A row's sieve as the sieve table holds it; nothing when the column is not one.
std::optional<TextSieve> sieveColumn(sqlite3_stmt *row, int column);

// The row at hand, checked; nothing when the check fails.
std::optional<KeptEntry> keptEntry(sqlite3_stmt *row, RowCheck check = RowCheck::Whole,
                                   RowTexts texts = RowTexts::Copied);

// Whether db holds an index of the format this program writes.
bool hasKeptFormat(sqlite3 *db);

} // namespace Kakiva
