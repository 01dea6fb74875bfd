#include "diary/EntryMatch.h"

namespace Kakiva {

IndexedEntry indexedEntry(const QDate &date, const QString &text)
{
    IndexedEntry entry{date, foldForSearch(text), {}, {}};
    if (std::optional<QList<TextShift>> shifts = shiftsBetween(entry.folded.text, text)) {
        entry.shifts = std::move(*shifts);
    } else {
        entry.text = text;
        entry.text.squeeze();
    }
    // Only the characters are kept: reading and folding reserved room to grow.
    entry.folded.text.squeeze();
    entry.folded.anchors.squeeze();
    return entry;
}

QString IndexedEntry::originalText() const
{
    return text.isNull() ? applyShifts(folded.text, shifts) : text;
}

qsizetype IndexedEntry::bytesHeld() const
{
    return text.capacity() * qsizetype(sizeof(QChar)) +
           folded.text.capacity() * qsizetype(sizeof(QChar)) +
           folded.anchors.capacity() * qsizetype(sizeof(FoldedText::Anchor)) +
           shifts.capacity() * qsizetype(sizeof(TextShift));
}

qsizetype findWord(QStringView folded, QStringView word)
{
    if (word.isEmpty())
        return 0;
    // The vectorised search for one character finds the word's first character; the rest
    // is compared where it occurs. Faster on these texts than the general substring search.
    const QChar first = word.front();
    for (qsizetype at = folded.indexOf(first); at >= 0 && at + word.size() <= folded.size();
         at = folded.indexOf(first, at + 1)) {
        if (folded.sliced(at, word.size()) == word)
            return at;
    }
    return -1;
}

namespace {

// The excerpt around the folded range [start, end). Most entries fold one character for
// one and keep only their shifts: then only the few characters the excerpt reads are turned
// back, not the whole text, which is what a word found on thousands of days costs most.
Excerpt excerptOf(const IndexedEntry &entry, qsizetype start, qsizetype end)
{
    if (entry.text.isNull() && entry.folded.anchors.isEmpty()) {
        // Line ends fold to themselves, so the folded window is the original one.
        const auto [from, to] = excerptWindow(entry.folded.text, start, end);
        const QString window = applyShifts(entry.folded.text, entry.shifts, from, to);
        return excerptAround(window, start - from, end - from);
    }
    const QString text = entry.originalText();
    const auto [from, to] = entry.folded.originalRange(start, end, text.size());
    return excerptAround(text, from, to);
}

} // namespace

std::optional<SearchHit> matchEntry(const IndexedEntry &entry, const QStringList &words)
{
    if (words.isEmpty())
        return std::nullopt;
    qsizetype firstStart = -1;
    qsizetype firstEnd = -1;
    for (const QString &word : words) {
        // Words hold no blanks, so none can reach over a line end of the entry.
        const qsizetype at = findWord(entry.folded.text, word);
        if (at < 0)
            return std::nullopt;
        if (firstStart < 0 || at < firstStart) {
            firstStart = at;
            firstEnd = at + word.size();
        }
    }
    return SearchHit{entry.date, excerptOf(entry, firstStart, firstEnd)};
}

} // namespace Kakiva
