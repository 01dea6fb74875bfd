#pragma once

#include "diary/EntryExcerpt.h"
#include "diary/SearchFolding.h"
#include "diary/TextShifts.h"

#include <QDate>
#include <QStringList>

#include <optional>

namespace Kakiva {

// One entry as the search keeps it: the text folded once for comparing, and what gives
// back the text as the entry dialog shows it. Folding mostly changes characters one for
// one, so the shifts that undo it are kept instead of a second copy of the text; the text
// itself is kept only where folding changed its length.
struct IndexedEntry
{
    QDate date;
    FoldedText folded;
    QList<TextShift> shifts;
    QString text; // null unless folding changed the length

    QString originalText() const;
    // Memory held for the entry's texts and maps.
    qsizetype bytesHeld() const;
};

IndexedEntry indexedEntry(const QDate &date, const QString &text);

struct SearchHit
{
    QDate date;
    Excerpt excerpt;
};

// Where word first occurs in folded, or -1.
qsizetype findWord(QStringView folded, QStringView word);

// A hit when every word (folded, see searchWords()) occurs in the entry, in any order;
// its excerpt is cut around the first place where any of the words occurs.
std::optional<SearchHit> matchEntry(const IndexedEntry &entry, const QStringList &words);

} // namespace Kakiva
