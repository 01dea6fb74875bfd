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
    const QString text = entry.originalText();
    const auto [start, end] = entry.folded.originalRange(firstStart, firstEnd, text.size());
    return SearchHit{entry.date, excerptAround(text, start, end)};
}

} // namespace Kakiva
