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

int dayOfEntryFile(QStringView fileName)
{
    // Only the names the store writes, "01" to "31" before the suffix. Thousands are read
    // before the first search answers, so no text is made for them.
    if (fileName.size() != 2 + EntrySuffix.size() || !fileName.endsWith(EntrySuffix))
        return 0;
    const char16_t tens = fileName[0].unicode();
    const char16_t ones = fileName[1].unicode();
    if (tens < u'0' || tens > u'9' || ones < u'0' || ones > u'9')
        return 0;
    const int day = (tens - u'0') * 10 + (ones - u'0');
    return day >= 1 && day <= 31 ? day : 0;
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
