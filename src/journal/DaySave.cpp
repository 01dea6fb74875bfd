#include "journal/DaySave.h"

#include "diary/EntrySaveNotice.h"
#include "diary/EntryStore.h"
#include "journal/DayPages.h"
#include "journal/DayPictures.h"

namespace Kakiva::journal {

SiteChange saveDay(const DateFields &date, const QString &text, const QString &siteUrl)
{
    SiteChange change;
    if (DiaryWrite(date.year, date.month, date.day, text, &change.error) != 0) {
        change.failure = SiteChange::Failure::Entry;
        return change;
    }
    noteEntrySaved(date.year, date.month, date.day);
    dropUnnamedPictures(date, &change);
    if (change.ok())
        makeDayPages(date, siteUrl, &change);
    return change;
}

} // namespace Kakiva::journal
