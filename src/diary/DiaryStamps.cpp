#include "diary/DiaryStamps.h"

#include "diary/DateStrings.h"
#include "diary/EntryDays.h"
#include "platform/AppDir.h"

#include <algorithm>
#include <thread>

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

void stampYear(const QString &path, int year, QList<StampedDay> &days)
{
    for (const StampedEntry &monthEntry : listStamped(path).value_or(QList<StampedEntry>{})) {
        if (const int month = monthOfDirectory(monthEntry))
            stampMonth(path + QLatin1Char('/') + monthEntry.name, year, month, days);
    }
}

} // namespace

QList<StampedDay> stampDiary()
{
    const QString root = applicationPath(DiaryDirName);
    QList<std::pair<QString, int>> years;
    for (const StampedEntry &yearEntry : listStamped(root).value_or(QList<StampedEntry>{})) {
        if (const int year = yearOfDirectory(yearEntry))
            years.append({root + QLatin1Char('/') + yearEntry.name, year});
    }
    // A stat costs a system call each: the years are shared out over two threads, which
    // halves the wait on a machine with cores to spare.
    QList<StampedDay> days;
    QList<StampedDay> otherDays;
    std::thread helper([&] {
        for (qsizetype i = 1; i < years.size(); i += 2)
            stampYear(years[i].first, years[i].second, otherDays);
    });
    for (qsizetype i = 0; i < years.size(); i += 2)
        stampYear(years[i].first, years[i].second, days);
    helper.join();
    days.append(otherDays);
    std::sort(days.begin(), days.end(),
              [](const StampedDay &a, const StampedDay &b) { return a.date > b.date; });
    return days;
}

} // namespace Kakiva
