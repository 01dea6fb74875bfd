#pragma once

#include "diary/DiaryReading.h"
#include "diary/KeptIndex.h"

#include <QString>

#include <functional>
#include <vector>

namespace Kakiva {

struct RefreshedDiary
{
    DiaryContents contents;
    // Whether the kept index no longer matches the diary and should be written again.
    bool keptIsStale = false;
    // Every entry read with the stamp its file had; filled only when keptIsStale.
    std::vector<KeptEntry> toKeep;
};

// Every entry of the diary: those whose file still has the stamp the kept index at
// keptPath noted come from it, every other one is read from its file, and kept entries
// whose file is gone are left out. Stops early, with what it has, once cancelled().
RefreshedDiary refreshDiary(const QString &keptPath, const std::function<bool()> &cancelled);

} // namespace Kakiva
