#include "journal/DayRestore.h"

#include "backup/BackupRestore.h"
#include "diary/DateStrings.h"
#include "diary/EntrySaveNotice.h"
#include "journal/SitePaths.h"
#include "pages/PageGenerator.h"

namespace Kakiva::journal {

SiteChange restoreDay(const QString &path, const QDate &date)
{
    SiteChange change;
    if (!restoreDayEntry(path, date, &change.error)) {
        change.failure = SiteChange::Failure::Entry;
        return change;
    }
    const DateFields fields = paddedDateFields(date);
    noteEntrySaved(fields.year, fields.month, fields.day);
    QStringList written;
    if (HtmlMake(fields.year, fields.month, fields.day, &written, &change.error) != 0)
        change.failure = SiteChange::Failure::Pages;
    change.written = sitePathsOf(written);
    return change;
}

} // namespace Kakiva::journal
