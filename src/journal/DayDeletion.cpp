#include "journal/DayDeletion.h"

#include "backup/BackupRun.h"
#include "diary/EntrySaveNotice.h"
#include "diary/EntryStore.h"
#include "journal/SitePaths.h"
#include "pages/DayPageRemoval.h"
#include "pages/PagePaths.h"
#include "publish/ServerRecord.h"

#include <QFileInfo>

namespace Kakiva::journal {

namespace {

SiteChange failedAt(SiteChange change, SiteChange::Failure failure)
{
    change.failure = failure;
    return change;
}

// The pages a deletion rewrote rather than removed: the lists still standing.
QStringList listsLeft(const DateFields &date, const QStringList &removed)
{
    QStringList lists;
    for (const QString &path :
         {dayListPath(date.year, date.month), monthListPath(date.year), yearListPath()}) {
        if (!removed.contains(path) && QFileInfo::exists(path))
            lists.append(path);
    }
    return lists;
}

} // namespace

SiteChange deleteDay(const DateFields &date)
{
    SiteChange change;
    // The day stays in the backups: no backup that was read back and holds it, no deletion.
    const QDate day(date.year.toInt(), date.month.toInt(), date.day.toInt());
    if (!writeBackupHolding(day, &change.error))
        return failedAt(change, SiteChange::Failure::Backup);
    // The day page is remembered before it goes: a crash in between must not leave it on
    // a server with nothing to say it should go.
    const QStringList dayPage = sitePathsOf({dayPagePath(date.year, date.month, date.day)});
    if (!ServerRecord::rememberRemovals(dayPage, &change.error))
        return failedAt(change, SiteChange::Failure::Record);
    if (!DiaryDelete(date.year, date.month, date.day, &change.error))
        return failedAt(change, SiteChange::Failure::Entry);
    noteEntrySaved(date.year, date.month, date.day); // the search forgets it
    QStringList removed;
    const bool unmade = HtmlUnmake(date.year, date.month, date.day, &removed, &change.error) == 0;
    change.removed = sitePathsOf(removed);
    if (unmade)
        change.written = sitePathsOf(listsLeft(date, removed));
    // The lists of an emptied month or year, as far as they went, go from the server too.
    if (!ServerRecord::rememberRemovals(change.removed, &change.error))
        return failedAt(change, SiteChange::Failure::Record);
    return unmade ? change : failedAt(change, SiteChange::Failure::Pages);
}

} // namespace Kakiva::journal
