#include "journal/DayDeletion.h"

#include "backup/BackupRun.h"
#include "diary/EntrySaveNotice.h"
#include "diary/EntryStore.h"
#include "journal/DayPageOff.h"
#include "journal/SiteRoot.h"
#include "pictures/DayPictureStore.h"

namespace Kakiva::journal {

SiteChange deleteDay(const DateFields &date, const QString &siteUrl)
{
    SiteChange change;
    // The day stays in the backups: no backup that was read back and holds it, no deletion.
    const QDate day(date.year.toInt(), date.month.toInt(), date.day.toInt());
    if (!writeBackupHolding(day, &change.error)) {
        change.failure = SiteChange::Failure::Backup;
        return change;
    }
    if (!rememberDayPageRemoval(date, &change))
        return change;
    if (!removeDayPictures(date, &change.error) ||
        !DiaryDelete(date.year, date.month, date.day, &change.error)) {
        change.failure = SiteChange::Failure::Entry;
        return change;
    }
    noteEntrySaved(date.year, date.month, date.day); // the search forgets it
    takeDayPageOff(date, &change);
    if (change.ok())
        refreshSiteRoot(siteUrl, &change);
    return change;
}

} // namespace Kakiva::journal
