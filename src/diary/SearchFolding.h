#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace Kakiva {

// Text in the form the search compares: compatibility forms unified (Unicode NFKC, so
// full-width Latin and half-width katakana meet their usual forms), letter case folded,
// and katakana written as hiragana. Line ends pass through unchanged.
struct FoldedText
{
    // Where the mapping from folded positions back to the original stops being a plain
    // shift: from `folded` on, position p came from original + (p - folded).
    struct Anchor
    {
        qint32 folded;
        qint32 original;
    };

    QString text;
    // Empty when every folded character sits where its original did, the common case.
    QList<Anchor> anchors;

    // The original position of the character that folded position pos came from.
    qsizetype originalAt(qsizetype pos) const;
    // The original range of the folded range [start, end), widened to whole original
    // characters (one "㍻" for a hit on the "平" it folds to).
    std::pair<qsizetype, qsizetype> originalRange(qsizetype start, qsizetype end,
                                                  qsizetype originalLength) const;
    // Whether every folded position maps inside an original of originalLength, through
    // anchors in order: what a map read back from disk must show before it is used.
    bool mapsInto(qsizetype originalLength) const;
};

FoldedText foldForSearch(QStringView original);

// The words of a query, folded: separated by blanks of any width.
QStringList searchWords(QStringView query);

} // namespace Kakiva
