#pragma once

#include "diary/EntryMatch.h"

#include <QDate>
#include <QList>

#include <functional>
#include <vector>

namespace Kakiva {

// Every day that has an entry file, newest first, found by listing the entry store's
// year and month directories.
QList<QDate> diaryDays();

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
    std::vector<IndexedEntry> entries; // in the order of the days asked for
    QList<QDate> unreadable;
};

// Reads the entries of days, spread over the processor's cores. Stops early, with what
// it has, once cancelled() returns true.
DiaryContents readDiary(const QList<QDate> &days, const std::function<bool()> &cancelled);

} // namespace Kakiva
