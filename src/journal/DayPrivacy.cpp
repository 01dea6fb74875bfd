#include "journal/DayPrivacy.h"

#include "diary/PrivateDays.h"
#include "journal/DayPageOff.h"
#include "journal/DayPages.h"
#include "journal/SiteRoot.h"

namespace Kakiva::journal {

namespace {

bool marked(const DateFields &date, bool isPrivate, SiteChange *change)
{
    QString error; // a missing file of marks leaves a note here, which is no failure
    if (setDayPrivate(dateOf(date), isPrivate, &error))
        return true;
    change->failure = SiteChange::Failure::Entry;
    change->error = error;
    return false;
}

} // namespace

SiteChange makeDayPrivate(const DateFields &date, const QString &siteUrl)
{
    SiteChange change;
    if (!rememberDayPageRemoval(date, &change) || !marked(date, true, &change))
        return change;
    takeDayPageOff(date, &change);
    if (change.ok())
        refreshSiteRoot(siteUrl, &change);
    return change;
}

SiteChange makeDayPublic(const DateFields &date, const QString &siteUrl)
{
    SiteChange change;
    if (marked(date, false, &change))
        makeDayPages(date, siteUrl, &change);
    return change;
}

} // namespace Kakiva::journal
