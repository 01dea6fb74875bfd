#include "journal/DayPictures.h"

#include "diary/EntryStore.h"
#include "journal/SitePaths.h"
#include "pictures/DayPictureStore.h"
#include "publish/ServerRecord.h"

namespace Kakiva::journal {

namespace {

bool failed(SiteChange::Failure failure, SiteChange *change)
{
    change->failure = failure;
    return false;
}

bool entryBytes(const DateFields &date, QByteArray *bytes, SiteChange *change)
{
    return readEntryBytes(date.year, date.month, date.day, *bytes, &change->error) ||
           failed(SiteChange::Failure::Pages, change);
}

} // namespace

void dropUnnamedPictures(const DateFields &date, SiteChange *change)
{
    QByteArray text;
    QStringList removed;
    if (entryBytes(date, &text, change) &&
        !removeUnnamedPictures(date, text, &removed, &change->error))
        failed(SiteChange::Failure::Pages, change);
}

void dropUnsavedPictures(const DateFields &date)
{
    QString error;
    QString stored;
    if (DiaryRead(date.year, date.month, date.day, stored, &error) == EntryUnreadable)
        return;
    QStringList removed;
    removeUnnamedPictures(date, stored.toUtf8(), &removed, &error);
}

void publishPictures(const DateFields &date, SiteChange *change)
{
    QByteArray text;
    if (!entryBytes(date, &text, change))
        return;
    QStringList written;
    QStringList removed;
    const bool published = publishDayPictures(date, text, &written, &removed, &change->error);
    change->written.append(sitePathsOf(written));
    change->removed.append(sitePathsOf(removed));
    if (!published)
        failed(SiteChange::Failure::Pages, change);
    else if (!ServerRecord::rememberRemovals(sitePathsOf(removed), &change->error))
        failed(SiteChange::Failure::Record, change);
}

QStringList publishedPictures(const DateFields &date)
{
    return sitePathsOf(publishedDayPictures(date));
}

void unpublishPictures(const DateFields &date, SiteChange *change)
{
    QStringList removed;
    const bool unpublished = unpublishDayPictures(date, &removed, &change->error);
    change->removed.append(sitePathsOf(removed));
    if (!unpublished)
        failed(SiteChange::Failure::Pages, change);
}

} // namespace Kakiva::journal
