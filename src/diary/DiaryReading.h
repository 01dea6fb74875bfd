#pragma once

#include "diary/EntryMatch.h"

#include <QDate>
#include <QList>

#include <functional>
#include <vector>

namespace Kakiva {

// The years that have an entry directory, newest first.
QList<int> diaryYears();

// The days of year that have an entry file, newest first, found by listing the entry
// store's month directories.
QList<QDate> daysOfYear(int year);

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

// Reads every entry of the diary, a year at a time on each of the processor's cores.
// Stops early, with what it has, once cancelled() returns true.
DiaryContents readDiary(const std::function<bool()> &cancelled);

} // namespace Kakiva
