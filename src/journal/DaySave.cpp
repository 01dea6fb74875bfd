#include "journal/DaySave.h"

#include "diary/EntrySaveNotice.h"
#include "diary/EntryStore.h"
#include "journal/SitePaths.h"
#include "pages/PageGenerator.h"

namespace Kakiva::journal {

SiteChange saveDay(const DateFields &date, const QString &text)
{
    SiteChange change;
    if (DiaryWrite(date.year, date.month, date.day, text, &change.error) != 0) {
        change.failure = SiteChange::Failure::Entry;
        return change;
    }
    noteEntrySaved(date.year, date.month, date.day);
    QStringList written;
    if (HtmlMake(date.year, date.month, date.day, &written, &change.error) != 0)
        change.failure = SiteChange::Failure::Pages;
    change.written = sitePathsOf(written);
    return change;
}

} // namespace Kakiva::journal
