#include "diary/DiaryRefresh.h"

#include "diary/DiaryStamps.h"

#include <QThread>

#include <algorithm>
#include <memory>

namespace Kakiva {

namespace {

struct Comparison
{
    std::vector<IndexedEntry> unchanged; // newest first
    QList<QDate> toRead;                 // newest first
    bool keptIsStale = false;
};

// Walks the files and the kept entries together, both newest first.
Comparison compare(const QList<StampedDay> &files, std::vector<KeptEntry> &kept)
{
    Comparison comparison;
    comparison.unchanged.reserve(kept.size());
    auto next = kept.begin();
    for (const StampedDay &file : files) {
        // Kept days newer than this file have lost theirs.
        for (; next != kept.end() && next->entry.date > file.date; ++next)
            comparison.keptIsStale = true;
        const bool isKept = next != kept.end() && next->entry.date == file.date;
        if (isKept && next->stamp == file.stamp)
            comparison.unchanged.push_back(std::move(next->entry));
        else
            comparison.toRead.append(file.date);
        if (isKept)
            ++next;
    }
    if (next != kept.end())
        comparison.keptIsStale = true;
    return comparison;
}

// The two lists, both newest first, as one.
std::vector<IndexedEntry> merged(std::vector<IndexedEntry> &a, std::vector<IndexedEntry> &b)
{
    std::vector<IndexedEntry> entries;
    entries.reserve(a.size() + b.size());
    std::merge(std::make_move_iterator(a.begin()), std::make_move_iterator(a.end()),
               std::make_move_iterator(b.begin()), std::make_move_iterator(b.end()),
               std::back_inserter(entries),
               [](const IndexedEntry &x, const IndexedEntry &y) { return x.date > y.date; });
    return entries;
}

std::vector<KeptEntry> withStamps(const std::vector<IndexedEntry> &entries,
                                  const QList<StampedDay> &files)
{
    std::vector<KeptEntry> kept;
    kept.reserve(entries.size());
    auto file = files.cbegin();
    for (const IndexedEntry &entry : entries) {
        while (file != files.cend() && file->date > entry.date)
            ++file;
        if (file != files.cend() && file->date == entry.date)
            kept.push_back({file->stamp, entry});
    }
    return kept;
}

} // namespace

RefreshedDiary refreshDiary(const QString &keptPath, const std::function<bool()> &cancelled)
{
    // Stamping the files and reading the kept index take about as long as each other, so
    // they run side by side.
    QList<StampedDay> files;
    std::unique_ptr<QThread> stamper(QThread::create([&files] { files = stampDiary(); }));
    stamper->start();
    std::optional<std::vector<KeptEntry>> kept = readKeptIndex(keptPath);
    stamper->wait();

    std::vector<KeptEntry> none;
    Comparison comparison = compare(files, kept ? *kept : none);
    RefreshedDiary refreshed;
    DiaryContents read = readEntries(comparison.toRead, cancelled);
    refreshed.keptIsStale = !kept || comparison.keptIsStale || !read.entries.empty();
    refreshed.contents.entries = merged(comparison.unchanged, read.entries);
    refreshed.contents.unreadable = std::move(read.unreadable);
    if (refreshed.keptIsStale && !cancelled())
        refreshed.toKeep = withStamps(refreshed.contents.entries, files);
    return refreshed;
}

} // namespace Kakiva
