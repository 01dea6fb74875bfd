#include "diary/SearchFolding.h"

#include <algorithm>
#include <vector>

namespace Kakiva {

namespace {

bool isKatakanaWithHiragana(char32_t c)
{
    // ァ..ヶ and the iteration marks ヽ ヾ; ヷ..ヺ and ー have no hiragana form.
    return (c >= 0x30A1 && c <= 0x30F6) || c == 0x30FD || c == 0x30FE;
}

// Joins a base character in NFKC composition: combining marks, and the half-width voiced
// sound marks that turn ｶﾞ into ガ.
bool joinsPrevious(char32_t c)
{
    if (c == 0xFF9E || c == 0xFF9F)
        return true;
    if (c < 0x300)
        return false;
    const QChar::Category category = QChar::category(c);
    return QChar::combiningClass(c) != 0 || category == QChar::Mark_NonSpacing ||
           category == QChar::Mark_SpacingCombining || category == QChar::Mark_Enclosing;
}

QString foldSlowly(QStringView segment)
{
    QString folded = segment.toString().normalized(QString::NormalizationForm_KC).toCaseFolded();
    for (QChar &c : folded) {
        if (isKatakanaWithHiragana(c.unicode()))
            c = QChar(c.unicode() - 0x60);
    }
    return folded;
}

// The folded form of every BMP character that folds to exactly one character on its
// own, or 0 where folding needs the full path (expansions, marks, surrogates).
const std::vector<char16_t> &singleCharacterFolds()
{
    static const std::vector<char16_t> table = [] {
        std::vector<char16_t> folds(0x10000, 0);
        for (char32_t c = 0; c < 0x10000; ++c) {
            if (QChar::isSurrogate(c) || joinsPrevious(c))
                continue;
            const char16_t unit = char16_t(c);
            const QString folded = foldSlowly(QStringView(&unit, 1));
            if (folded.size() == 1)
                folds[c] = folded.at(0).unicode();
        }
        return folds;
    }();
    return table;
}

bool isLineEnd(QChar c)
{
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

// End of the composition segment that starts at pos: one character with the marks that
// join it, never reaching over a line end.
qsizetype segmentEnd(QStringView text, qsizetype pos)
{
    const auto codePointLength = [&](qsizetype at) {
        return at + 1 < text.size() && text[at].isHighSurrogate() && text[at + 1].isLowSurrogate()
                   ? 2
                   : 1;
    };
    qsizetype end = pos + codePointLength(pos);
    if (isLineEnd(text[pos]))
        return end;
    while (end < text.size()) {
        const qsizetype length = codePointLength(end);
        const char32_t c = length == 2 ? QChar::surrogateToUcs4(text[end], text[end + 1])
                                       : char32_t(text[end].unicode());
        if (!joinsPrevious(c))
            break;
        end += length;
    }
    return end;
}

// Writes the folded text and notes an anchor wherever the shift between folded and
// original positions changes.
class Folder
{
public:
    explicit Folder(qsizetype sizeHint) : m_capacity(sizeHint)
    {
        m_result.text.resize(sizeHint);
        m_out = m_result.text.data();
    }

    void append(QChar c, qsizetype original)
    {
        if (original - m_size != m_shift)
            noteShift(original);
        if (m_size == m_capacity)
            grow();
        m_out[m_size++] = c;
    }

    // Every character of folded comes from the segment starting at original.
    void append(const QString &folded, qsizetype original)
    {
        for (QChar c : folded)
            append(c, original);
    }

    FoldedText take()
    {
        m_result.text.truncate(m_size);
        return std::move(m_result);
    }

private:
    void noteShift(qsizetype original)
    {
        m_result.anchors.append({qint32(m_size), qint32(original)});
        m_shift = original - m_size;
    }

    void grow()
    {
        m_capacity = std::max<qsizetype>(16, m_capacity * 2);
        m_result.text.resize(m_capacity);
        m_out = m_result.text.data();
    }

    FoldedText m_result;
    QChar *m_out = nullptr;
    qsizetype m_size = 0;
    qsizetype m_capacity = 0;
    qsizetype m_shift = 0;
};

} // namespace

qsizetype FoldedText::originalAt(qsizetype pos) const
{
    const auto after = std::upper_bound(anchors.cbegin(), anchors.cend(), pos,
                                        [](qsizetype p, const Anchor &a) { return p < a.folded; });
    if (after == anchors.cbegin())
        return pos;
    const Anchor &anchor = *(after - 1);
    return anchor.original + (pos - anchor.folded);
}

std::pair<qsizetype, qsizetype> FoldedText::originalRange(qsizetype start, qsizetype end,
                                                          qsizetype originalLength) const
{
    const qsizetype from = originalAt(start);
    const qsizetype last = originalAt(end - 1);
    // The range ends where the next original character begins.
    qsizetype next = end;
    while (next < text.size() && originalAt(next) <= last)
        ++next;
    return {from, next < text.size() ? originalAt(next) : originalLength};
}

bool FoldedText::mapsInto(qsizetype originalLength) const
{
    // Before the first anchor a position maps to itself.
    qsizetype from = 0;
    qsizetype original = 0;
    for (qsizetype i = 0; i <= anchors.size(); ++i) {
        const qsizetype to = i < anchors.size() ? anchors[i].folded : text.size();
        if (to < from || to > text.size())
            return false;
        if (to > from && original + (to - 1 - from) >= originalLength)
            return false;
        if (i < anchors.size()) {
            from = anchors[i].folded;
            original = anchors[i].original;
            if (original < 0 || original > originalLength)
                return false;
        }
    }
    return true;
}

FoldedText foldForSearch(QStringView original)
{
    const std::vector<char16_t> &folds = singleCharacterFolds();
    const auto foldsAlone = [&](qsizetype pos) {
        return pos == original.size() || folds[original[pos].unicode()] != 0;
    };
    Folder folder(original.size());
    qsizetype pos = 0;
    while (pos < original.size()) {
        const char16_t c = original[pos].unicode();
        // Most characters fold on their own; a character that folds to nothing on its own
        // may be a mark that joins the one before.
        if (folds[c] != 0 && foldsAlone(pos + 1)) {
            folder.append(QChar(folds[c]), pos);
            ++pos;
            continue;
        }
        const qsizetype end = segmentEnd(original, pos);
        if (end == pos + 1 && c == 0)
            folder.append(QChar(c), pos);
        else
            folder.append(foldSlowly(original.sliced(pos, end - pos)), pos);
        pos = end;
    }
    return folder.take();
}

QStringList searchWords(QStringView query)
{
    const QString folded = foldForSearch(query).text;
    QStringList words;
    qsizetype pos = 0;
    while (pos < folded.size()) {
        while (pos < folded.size() && folded[pos].isSpace())
            ++pos;
        qsizetype end = pos;
        while (end < folded.size() && !folded[end].isSpace())
            ++end;
        if (end > pos)
            words.append(folded.sliced(pos, end - pos));
        pos = end;
    }
    return words;
}

} // namespace Kakiva
