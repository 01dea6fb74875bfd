#pragma once

#include "diary/DiaryReading.h"
#include "diary/DiaryStamps.h"
#include "diary/KeptRows.h"

#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace Kakiva {

struct RefreshedDiary
{
    // What the search reads the kept rows through; null when nothing kept can be used.
    std::unique_ptr<KeptRows> rows;
    // A second reader of the same file, for checking every row off the search's thread.
    std::unique_ptr<KeptRows> checkRows;
    // The days of the kept rows whose file still has the stamp noted, newest first.
    std::vector<QDate> keptDays;
    // Every other entry, read from its file.
    DiaryContents fresh;
    // Every entry file with its stamp, newest first.
    QList<StampedDay> files;
    // Whether the kept index no longer matches the diary and should be written again.
    bool keptIsStale = false;
};

// The diary as it is now: the kept rows at keptPath whose file still has the stamp they
// noted stay on disk, every other entry is read from its file, and kept rows whose file is
// gone are left out. Stops early, with what it has, once cancelled().
RefreshedDiary refreshDiary(const QString &keptPath, const std::function<bool()> &cancelled);

struct KeepOutcome
{
    // A kept row failed its check: nothing kept may be used.
    bool damaged = false;
    bool written = false;
    QString error;
};

// Checks every kept row refreshed trusts, whole, against its digest and its file's stamp,
// and when the kept index is stale writes it again from those rows and entries (the fresh
// entries, newest first, with their files' stamps).
KeepOutcome checkAndKeep(const QString &keptPath, const RefreshedDiary &refreshed,
                         const std::vector<IndexedEntry> &entries,
                         const std::function<bool()> &cancelled);

// Every entry of the diary read from its file, for when nothing kept can be used.
DiaryContents readWholeDiary(const QList<StampedDay> &files,
                             const std::function<bool()> &cancelled);

// The entries with the stamps of their files, for writing the kept index.
std::vector<KeptEntry> withStamps(const std::vector<IndexedEntry> &entries,
                                  const QList<StampedDay> &files);

} // namespace Kakiva
