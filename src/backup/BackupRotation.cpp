#include "backup/BackupRotation.h"

#include <algorithm>
#include <numeric>

namespace Kakiva {

namespace {

constexpr int KeptDays = 7;
constexpr int KeptWeeks = 8;
constexpr int KeptMonths = 24;

// One number per period, growing with time, so two dates share a period when equal.
qint64 weekOf(const QDate &date)
{
    return (date.toJulianDay() - (date.dayOfWeek() - 1)) / 7;
}

qint64 monthOf(const QDate &date)
{
    return qint64(date.year()) * 12 + date.month();
}

struct Tier
{
    qint64 (*period)(const QDate &);
    int count;
};

} // namespace

QList<bool> backupsToKeep(const QList<QDateTime> &taken)
{
    QList<qsizetype> newestFirst(taken.size());
    std::iota(newestFirst.begin(), newestFirst.end(), 0);
    std::stable_sort(newestFirst.begin(), newestFirst.end(),
                     [&](qsizetype a, qsizetype b) { return taken[a] > taken[b]; });

    QList<bool> keep(taken.size(), false);
    const Tier tiers[] = {{[](const QDate &date) { return date.toJulianDay(); }, KeptDays},
                          {weekOf, KeptWeeks},
                          {monthOf, KeptMonths}};
    std::size_t tier = 0;
    int keptInTier = 0;
    QDate lastKept;
    for (qsizetype index : newestFirst) {
        const QDate day = taken[index].date();
        // A backup whose period already has a newer one kept adds nothing, except that
        // the days keep every backup of theirs.
        while (tier < std::size(tiers)) {
            const Tier &current = tiers[tier];
            const bool samePeriod =
                lastKept.isValid() && current.period(day) == current.period(lastKept);
            if (samePeriod) {
                keep[index] = tier == 0;
                break;
            }
            if (keptInTier < current.count) {
                keep[index] = true;
                ++keptInTier;
                lastKept = day;
                break;
            }
            ++tier;
            keptInTier = 0;
        }
    }
    return keep;
}

} // namespace Kakiva
