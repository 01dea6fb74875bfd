#include "diary/EntryMatch.h"

namespace Kakiva {

IndexedEntry indexedEntry(const QDate &date, const QString &text)
{
    IndexedEntry entry{date, text, foldForSearch(text)};
    // Only the characters are kept: reading and folding reserved room to grow.
    entry.text.squeeze();
    entry.folded.text.squeeze();
    entry.folded.anchors.squeeze();
    return entry;
}

std::optional<SearchHit> matchEntry(const IndexedEntry &entry, const QStringList &words)
{
    if (words.isEmpty())
        return std::nullopt;
    qsizetype firstStart = -1;
    qsizetype firstEnd = -1;
    for (const QString &word : words) {
        // Words hold no blanks, so none can reach over a line end of the entry.
        const qsizetype at = entry.folded.text.indexOf(word);
        if (at < 0)
            return std::nullopt;
        if (firstStart < 0 || at < firstStart) {
            firstStart = at;
            firstEnd = at + word.size();
        }
    }
    const auto [start, end] = entry.folded.originalRange(firstStart, firstEnd, entry.text.size());
    return SearchHit{entry.date, excerptAround(entry.text, start, end)};
}

} // namespace Kakiva
