#pragma once

#include "diary/EntryExcerpt.h"
#include "diary/SearchFolding.h"

#include <QDate>
#include <QStringList>

#include <optional>

namespace Kakiva {

// One entry as the search keeps it: the text as the entry dialog shows it, and the same
// text folded once for comparing.
struct IndexedEntry
{
    QDate date;
    QString text;
    FoldedText folded;
};

IndexedEntry indexedEntry(const QDate &date, const QString &text);

struct SearchHit
{
    QDate date;
    Excerpt excerpt;
};

// A hit when every word (folded, see searchWords()) occurs in the entry, in any order;
// its excerpt is cut around the first place where any of the words occurs.
std::optional<SearchHit> matchEntry(const IndexedEntry &entry, const QStringList &words);

} // namespace Kakiva
