#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

namespace Kakiva {

// A run of characters that folding changed one for one by the same amount, as katakana
// turning into hiragana or a full-width letter into its usual form: from start on, for
// length characters, the original is the folded character plus difference (modulo 2^16).
struct TextShift
{
    qint32 start;
    quint16 length;
    quint16 difference;
};

// The runs that turn folded back into original, or nothing when the two differ in length.
std::optional<QList<TextShift>> shiftsBetween(QStringView folded, QStringView original);

// The original text the shifts were taken from.
QString applyShifts(QStringView folded, const QList<TextShift> &shifts);
// The characters [from, to) of that original text.
QString applyShifts(QStringView folded, const QList<TextShift> &shifts, qsizetype from,
                    qsizetype to);

// Whether every run lies inside a text of the given length, in order.
bool shiftsFit(const QList<TextShift> &shifts, qsizetype length);

} // namespace Kakiva
