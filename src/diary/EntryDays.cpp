#include "diary/EntryDays.h"

#include "diary/DateStrings.h"
#include "diary/EntryStore.h"
#include "platform/FileSystem.h"

#include <QFileInfo>

#include <algorithm>

namespace Kakiva {

namespace {

constexpr QLatin1StringView EntrySuffix{".dia"};

} // namespace

int dayOfEntryFile(const QString &fileName)
{
    if (!fileName.endsWith(EntrySuffix))
        return 0;
    const QString dayText = fileName.chopped(EntrySuffix.size());
    bool isNumber = false;
    const int day = dayText.toInt(&isNumber);
    if (!isNumber || day < 1 || day > 31 || twoDigitDateField(dateFieldText(day)) != dayText)
        return 0;
    return day;
}

QList<int> daysWithEntries(int year, int month)
{
    const QString monthText = twoDigitDateField(dateFieldText(month));
    // The store owns the layout of its tree: every entry of the month lies beside the
    // file of its first day.
    const QString monthDirectory =
        QFileInfo(entryFilePath(dateFieldText(year), monthText, QStringLiteral("01"))).path();
    // A month without a directory has no entries.
    const std::optional<QList<DirEntry>> listing = listDirectory(monthDirectory);
    if (!listing)
        return {};
    QList<int> days;
    for (const DirEntry &entry : *listing) {
        const int day = entry.isDirectory ? 0 : dayOfEntryFile(entry.name);
        if (day > 0)
            days.append(day);
    }
    std::sort(days.begin(), days.end());
    return days;
}

} // namespace Kakiva
