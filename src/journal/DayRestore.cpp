#include "journal/DayRestore.h"

#include "backup/BackupRestore.h"
#include "diary/DateStrings.h"
#include "diary/EntrySaveNotice.h"
#include "journal/DayPages.h"
#include "journal/DayPictures.h"

namespace Kakiva::journal {

SiteChange restoreDay(const QString &path, const QDate &date, const QString &siteUrl)
{
    SiteChange change;
    if (!restoreDayEntry(path, date, &change.error)) {
        change.failure = SiteChange::Failure::Entry;
        return change;
    }
    const DateFields fields = paddedDateFields(date);
    noteEntrySaved(fields.year, fields.month, fields.day);
    dropUnnamedPictures(fields, &change);
    if (change.ok())
        makeDayPages(fields, siteUrl, &change);
    return change;
}

} // namespace Kakiva::journal
