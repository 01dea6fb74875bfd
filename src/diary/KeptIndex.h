#pragma once

#include "diary/EntryMatch.h"
#include "platform/FileStamps.h"

#include <QLatin1StringView>
#include <QString>

#include <functional>
#include <vector>

namespace Kakiva {

// The search's entries as the last run left them, so that the first search of a run
// need not read and fold the whole diary again. It lives in the application directory
// beside the settings, hidden and outside Diary, so that neither the pages, the calendar
// nor a backup ever take it for part of the diary; losing it costs one reading.
inline constexpr QLatin1StringView KeptIndexFileName{".search.sqlite"};

// One entry with the stamp its file had when it was read.
struct KeptEntry
{
    FileStamp stamp;
    IndexedEntry entry;
};

// Takes one entry for the index being written; false when it could not be stored.
using KeptEntryAdd = std::function<bool(const KeptEntry &)>;
// Gives every entry to keep, oldest first, to add; false when it could not give them all.
using KeptEntryFill = std::function<bool(const KeptEntryAdd &)>;

// Replaces the kept index as a whole: a reader sees the old or the new one. Nothing is
// written unless fill gave every entry. Reading it: KeptRows.
bool writeKeptIndex(const QString &path, const KeptEntryFill &fill, QString *error = nullptr);
// The same with entries given newest first.
bool writeKeptIndex(const QString &path, const std::vector<KeptEntry> &entries,
                    QString *error = nullptr);

} // namespace Kakiva
