#include "journal/DayPageOff.h"

#include "journal/DayPictures.h"
#include "journal/SitePaths.h"
#include "pages/DayPageRemoval.h"
#include "pages/PagePaths.h"
#include "publish/ServerRecord.h"

#include <QFileInfo>

namespace Kakiva::journal {

namespace {

// The pages a removal rewrote rather than removed: the lists still standing.
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

bool rememberDayPageRemoval(const DateFields &date, SiteChange *change)
{
    const QStringList dayFiles =
        sitePathsOf({dayPagePath(date.year, date.month, date.day)}) + publishedPictures(date);
    if (ServerRecord::rememberRemovals(dayFiles, &change->error))
        return true;
    change->failure = SiteChange::Failure::Record;
    return false;
}

void takeDayPageOff(const DateFields &date, SiteChange *change)
{
    // The pictures first: a year's folder that held only them would not count as empty.
    unpublishPictures(date, change);
    if (!change->ok())
        return;
    QStringList removed;
    const bool unmade = HtmlUnmake(date.year, date.month, date.day, &removed, &change->error) == 0;
    change->removed.append(sitePathsOf(removed));
    if (unmade)
        change->written.append(sitePathsOf(listsLeft(date, removed)));
    // The lists of an emptied month or year, as far as they went, go from the server too.
    if (!ServerRecord::rememberRemovals(change->removed, &change->error))
        change->failure = SiteChange::Failure::Record;
    else if (!unmade)
        change->failure = SiteChange::Failure::Pages;
}

} // namespace Kakiva::journal
