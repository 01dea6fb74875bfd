#pragma once

#include "diary/EntryMatch.h"
#include "platform/FileStamps.h"

#include <QLatin1StringView>
#include <QString>

#include <optional>
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

// The kept entries, newest first; nothing when there is no kept index, or it is damaged,
// of another format, or holds anything that could not have come from folding.
std::optional<std::vector<KeptEntry>> readKeptIndex(const QString &path);

// Replaces the kept index with entries as a whole: a reader sees the old or the new one.
bool writeKeptIndex(const QString &path, const std::vector<KeptEntry> &entries,
                    QString *error = nullptr);

} // namespace Kakiva
