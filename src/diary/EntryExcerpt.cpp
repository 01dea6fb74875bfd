#include "diary/EntryExcerpt.h"

#include <algorithm>

namespace Kakiva {

namespace {

// Enough before the hit to read it in context, and a row's worth in all.
constexpr qsizetype ContextBefore = 12;
constexpr qsizetype ExcerptLength = 48;
constexpr QChar CutMark{0x2026};

bool isLineEnd(QChar c)
{
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

} // namespace

std::pair<qsizetype, qsizetype> excerptWindow(QStringView text, qsizetype hitStart,
                                              qsizetype hitEnd)
{
    // Before the hit, the context and one character that tells a cut line. After it, a
    // row's worth counted from the hit, which is never less than from the excerpt's start,
    // one character for the second half of a pair and one that tells a cut line.
    const qsizetype earliest = std::max<qsizetype>(0, hitStart - ContextBefore - 1);
    const qsizetype latest = std::min(text.size(), std::max(hitEnd, hitStart + ExcerptLength) + 2);
    qsizetype start = hitStart;
    while (start > earliest && !isLineEnd(text[start - 1]))
        --start;
    qsizetype end = hitEnd;
    while (end < latest && !isLineEnd(text[end]))
        ++end;
    return {start, end};
}

Excerpt excerptAround(QStringView text, qsizetype hitStart, qsizetype hitEnd)
{
    qsizetype lineStart = hitStart;
    while (lineStart > 0 && !isLineEnd(text[lineStart - 1]))
        --lineStart;
    qsizetype lineEnd = hitEnd;
    while (lineEnd < text.size() && !isLineEnd(text[lineEnd]))
        ++lineEnd;

    qsizetype from = std::max(lineStart, hitStart - ContextBefore);
    qsizetype to = std::min(lineEnd, std::max(hitEnd, from + ExcerptLength));
    // Never cut between the halves of a character outside the basic plane.
    if (from > lineStart && text[from].isLowSurrogate())
        ++from;
    if (to < lineEnd && text[to].isLowSurrogate())
        ++to;

    Excerpt excerpt;
    if (from > lineStart)
        excerpt.text += CutMark;
    excerpt.markStart = excerpt.text.size() + (hitStart - from);
    excerpt.markLength = hitEnd - hitStart;
    excerpt.text += text.sliced(from, to - from);
    if (to < lineEnd)
        excerpt.text += CutMark;
    return excerpt;
}

} // namespace Kakiva
