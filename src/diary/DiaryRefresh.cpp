#include "diary/DiaryRefresh.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <thread>

namespace Kakiva {

namespace {

struct Comparison
{
    std::vector<QDate> unchanged; // newest first
    QList<QDate> toRead;          // newest first
    bool keptIsStale = false;
};

// Walks the files and the kept rows together, both newest first.
Comparison compare(const QList<StampedDay> &files, const std::vector<KeptDay> &kept)
{
    Comparison comparison;
    comparison.unchanged.reserve(kept.size());
    auto next = kept.cbegin();
    for (const StampedDay &file : files) {
        // Kept days newer than this file have lost theirs.
        for (; next != kept.cend() && next->date > file.date; ++next)
            comparison.keptIsStale = true;
        const bool isKept = next != kept.cend() && next->date == file.date;
        if (isKept && next->stamp == file.stamp)
            comparison.unchanged.push_back(file.date);
        else
            comparison.toRead.append(file.date);
        if (isKept)
            ++next;
    }
    if (next != kept.cend())
        comparison.keptIsStale = true;
    return comparison;
}

QList<QDate> daysOf(const QList<StampedDay> &files)
{
    QList<QDate> days;
    days.reserve(files.size());
    for (const StampedDay &file : files)
        days.append(file.date);
    return days;
}

bool isNewestFirstMember(const std::vector<QDate> &days, const QDate &date)
{
    return std::binary_search(days.cbegin(), days.cend(), date, std::greater<>());
}

const FileStamp *stampOf(const QList<StampedDay> &files, const QDate &date)
{
    const auto at = std::partition_point(files.cbegin(), files.cend(),
                                         [&](const StampedDay &file) { return file.date > date; });
    return at != files.cend() && at->date == date ? &at->stamp : nullptr;
}

// Gives add every trusted kept row and every fresh entry, oldest first; a kept row that
// fails its check, or no longer bears its file's stamp, counts as damage.
bool fillFromBoth(const RefreshedDiary &refreshed, const std::vector<KeptEntry> &fresh,
                  const KeptEntryAdd &add, const std::function<bool()> &cancelled,
                  bool &damaged)
{
    auto nextFresh = fresh.crbegin(); // oldest first
    // Every fresh entry older than before, or every one left when there is none.
    const auto addOlderFresh = [&](const std::optional<QDate> &before) {
        for (; nextFresh != fresh.crend() && (!before || nextFresh->entry.date < *before);
             ++nextFresh) {
            if (!add(*nextFresh))
                return false;
        }
        return true;
    };
    bool added = true;
    const KeptRows::Outcome outcome = refreshed.checkRows->scan(
        {}, [&](const QDate &date) { return isNewestFirstMember(refreshed.keptDays, date); },
        [&](KeptEntry &&kept) {
            const FileStamp *stamp = stampOf(refreshed.files, kept.entry.date);
            if (!stamp || !(*stamp == kept.stamp)) {
                damaged = true;
                return false;
            }
            added = !cancelled() && addOlderFresh(kept.entry.date) && add(kept);
            return added;
        },
        KeptRows::Order::OldestFirst);
    damaged = damaged || outcome == KeptRows::Outcome::Damaged;
    return !damaged && added && outcome == KeptRows::Outcome::Done &&
           addOlderFresh(std::nullopt);
}

} // namespace

std::vector<KeptEntry> withStamps(const std::vector<IndexedEntry> &entries,
                                  const QList<StampedDay> &files)
{
    std::vector<KeptEntry> kept;
    kept.reserve(entries.size());
    for (const IndexedEntry &entry : entries) {
        if (const FileStamp *stamp = stampOf(files, entry.date))
            kept.push_back({*stamp, entry});
    }
    return kept;
}

RefreshedDiary refreshDiary(const QString &keptPath, const std::function<bool()> &cancelled)
{
    RefreshedDiary refreshed;
    // Reading the kept stamps runs beside stamping the files, which takes longer and shares
    // itself out over this thread and one more. Both readers open the file now, so both read
    // the same one whatever replaces it later.
    std::optional<std::vector<KeptDay>> kept;
    std::thread keptReader([&refreshed, &kept, &keptPath] {
        refreshed.rows = KeptRows::open(keptPath);
        refreshed.checkRows = refreshed.rows ? refreshed.rows->openAgain() : nullptr;
        if (refreshed.checkRows)
            kept = refreshed.rows->days();
    });
    refreshed.files = stampDiary();
    keptReader.join();
    if (!kept) {
        refreshed.rows.reset();
        refreshed.checkRows.reset();
    }

    Comparison comparison = compare(refreshed.files, kept.value_or(std::vector<KeptDay>{}));
    refreshed.fresh = readEntries(comparison.toRead, cancelled);
    refreshed.keptDays = std::move(comparison.unchanged);
    refreshed.keptIsStale = !kept || comparison.keptIsStale || !refreshed.fresh.entries.empty();
    return refreshed;
}

KeepOutcome checkAndKeep(const QString &keptPath, const RefreshedDiary &refreshed,
                         const std::vector<IndexedEntry> &entries,
                         const std::function<bool()> &cancelled)
{
    KeepOutcome outcome;
    const std::vector<KeptEntry> fresh = withStamps(entries, refreshed.files);
    if (!refreshed.checkRows) {
        if (refreshed.keptIsStale && !cancelled())
            outcome.written = writeKeptIndex(keptPath, fresh, &outcome.error);
        return outcome;
    }
    if (!refreshed.keptIsStale) {
        // Every row checked all the same: nothing is added anywhere.
        fillFromBoth(
            refreshed, {}, [](const KeptEntry &) { return true; }, cancelled, outcome.damaged);
        return outcome;
    }
    outcome.written = writeKeptIndex(
        keptPath,
        [&](const KeptEntryAdd &add) {
            return fillFromBoth(refreshed, fresh, add, cancelled, outcome.damaged);
        },
        &outcome.error);
    return outcome;
}

DiaryContents readWholeDiary(const QList<StampedDay> &files, const std::function<bool()> &cancelled)
{
    return readEntries(daysOf(files), cancelled);
}

} // namespace Kakiva
