#pragma once

#include "diary/EntryMatch.h"

#include <QDate>
#include <QList>

#include <functional>
#include <vector>

namespace Kakiva {

struct EntryReading
{
    enum class Outcome
    {
        Read,
        Missing,
        // The file is there but the store could not read it.
        Unreadable,
    };
    Outcome outcome = Outcome::Missing;
    IndexedEntry entry;
};

// The entry of date as the entry dialog loads it (Windows-932, character references
// turned back into characters), folded for searching.
EntryReading readForIndex(const QDate &date);

struct DiaryContents
{
    std::vector<IndexedEntry> entries; // newest first
    QList<QDate> unreadable;
};

// Reads the entries of days (newest first), a share at a time on each of the processor's
// cores; the entries come back in the order of days. Stops early, with what it has, once
// cancelled() returns true.
DiaryContents readEntries(const QList<QDate> &days, const std::function<bool()> &cancelled);

} // namespace Kakiva
