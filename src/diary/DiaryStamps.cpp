#include "diary/DiaryStamps.h"

#include "diary/DateStrings.h"
#include "diary/EntryDays.h"
#include "platform/AppDir.h"

#include <algorithm>

namespace Kakiva {

namespace {

// The years the calendar can hand over name their directories without leading zeros.
int yearOfDirectory(const StampedEntry &entry)
{
    bool isNumber = false;
    const int year = entry.name.toInt(&isNumber);
    if (!entry.isDirectory || !isNumber || year < 1 || dateFieldText(year) != entry.name)
        return 0;
    return year;
}

int monthOfDirectory(const StampedEntry &entry)
{
    for (int month = 1; entry.isDirectory && month <= 12; ++month) {
        if (twoDigitDateField(dateFieldText(month)) == entry.name)
            return month;
    }
    return 0;
}

void stampMonth(const QString &path, int year, int month, QList<StampedDay> &days)
{
    for (const StampedEntry &file : listStamped(path).value_or(QList<StampedEntry>{})) {
        const QDate date(year, month, file.isDirectory ? 0 : dayOfEntryFile(file.name));
        if (date.isValid())
            days.append({date, file.stamp});
    }
}

} // namespace

QList<StampedDay> stampDiary()
{
    QList<StampedDay> days;
    const QString root = applicationPath(DiaryDirName);
    for (const StampedEntry &yearEntry : listStamped(root).value_or(QList<StampedEntry>{})) {
        const int year = yearOfDirectory(yearEntry);
        if (year == 0)
            continue;
        const QString yearPath = root + QLatin1Char('/') + yearEntry.name;
        for (const StampedEntry &monthEntry :
             listStamped(yearPath).value_or(QList<StampedEntry>{})) {
            if (const int month = monthOfDirectory(monthEntry))
                stampMonth(yearPath + QLatin1Char('/') + monthEntry.name, year, month, days);
        }
    }
    std::sort(days.begin(), days.end(),
              [](const StampedDay &a, const StampedDay &b) { return a.date > b.date; });
    return days;
}

} // namespace Kakiva
