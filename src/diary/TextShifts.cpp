#include "diary/TextShifts.h"

#include <algorithm>
#include <limits>

namespace Kakiva {

std::optional<QList<TextShift>> shiftsBetween(QStringView folded, QStringView original)
{
    if (folded.size() != original.size())
        return std::nullopt;
    QList<TextShift> shifts;
    for (qsizetype i = 0; i < folded.size(); ++i) {
        const quint16 difference = quint16(original[i].unicode() - folded[i].unicode());
        if (difference == 0)
            continue;
        if (!shifts.isEmpty()) {
            TextShift &last = shifts.last();
            if (last.start + last.length == i && last.difference == difference &&
                last.length < std::numeric_limits<quint16>::max()) {
                ++last.length;
                continue;
            }
        }
        shifts.append({qint32(i), 1, difference});
    }
    shifts.squeeze();
    return shifts;
}

QString applyShifts(QStringView folded, const QList<TextShift> &shifts)
{
    return applyShifts(folded, shifts, 0, folded.size());
}

QString applyShifts(QStringView folded, const QList<TextShift> &shifts, qsizetype from,
                    qsizetype to)
{
    QString original = folded.sliced(from, to - from).toString();
    QChar *out = original.data();
    // The runs are in order: those that end before from are passed over at once.
    auto shift = std::partition_point(shifts.cbegin(), shifts.cend(), [from](const TextShift &s) {
        return s.start + s.length <= from;
    });
    for (; shift != shifts.cend() && shift->start < to; ++shift) {
        const qsizetype end = std::min<qsizetype>(to, shift->start + shift->length);
        for (qsizetype i = std::max<qsizetype>(from, shift->start); i < end; ++i)
            out[i - from] = QChar(char16_t(out[i - from].unicode() + shift->difference));
    }
    return original;
}

bool shiftsFit(const QList<TextShift> &shifts, qsizetype length)
{
    qsizetype end = 0;
    for (const TextShift &shift : shifts) {
        if (shift.start < end || qsizetype(shift.start) + shift.length > length)
            return false;
        end = shift.start + shift.length;
    }
    return true;
}

} // namespace Kakiva
