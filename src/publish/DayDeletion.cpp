#include "publish/DayDeletion.h"

#include "diary/EntrySaveNotice.h"
#include "diary/EntryStore.h"
#include "pages/DayPageRemoval.h"
#include "pages/PagePaths.h"
#include "publish/ServerRecord.h"
#include "publish/SiteInventory.h"

namespace Kakiva {

namespace {

bool rememberRemovals(const QStringList &localPaths, QString *error)
{
    QStringList remotePaths;
    for (const QString &path : localPaths)
        remotePaths.append(remotePathOf(path));
    return ServerRecord::rememberRemovals(remotePaths, error);
}

} // namespace

bool deleteDay(const QString &year, const QString &month, const QString &day,
               const BackUpFirst &backUpFirst, QString *error)
{
    if (!backUpFirst(error))
        return false;
    // The day page is remembered before it goes: a crash in between must not leave it on
    // a server with nothing to say it should go.
    if (!rememberRemovals({dayPagePath(year, month, day)}, error) ||
        !DiaryDelete(year, month, day, error))
        return false;
    noteEntrySaved(year, month, day); // the search forgets it
    QStringList removed;
    const bool unmade = HtmlUnmake(year, month, day, &removed, error) == 0;
    // The lists of an emptied month or year, as far as they went, go from the server too.
    return rememberRemovals(removed, error) && unmade;
}

} // namespace Kakiva
