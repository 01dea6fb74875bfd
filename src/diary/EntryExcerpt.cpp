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
