#include "journal/DayPages.h"

#include "diary/PrivateDays.h"
#include "journal/DayPictures.h"
#include "journal/SitePaths.h"
#include "journal/SiteRoot.h"
#include "pages/PageGenerator.h"

namespace Kakiva::journal {

void makeDayPages(const DateFields &date, const QString &siteUrl, SiteChange *change)
{
    // Marks that cannot be read keep every day off the web, and the user hears why.
    QString error;
    const std::optional<QSet<QDate>> hidden = privateDays(&error);
    if (!hidden) {
        change->failure = SiteChange::Failure::Pages;
        change->error = error;
        return;
    }
    if (hidden->contains(dateOf(date)))
        return;
    QStringList written;
    const bool made = HtmlMake(date.year, date.month, date.day, &written, &change->error) == 0;
    change->written.append(sitePathsOf(written));
    if (!made) {
        change->failure = SiteChange::Failure::Pages;
        return;
    }
    publishPictures(date, change);
    if (change->ok())
        refreshSiteRoot(siteUrl, change);
}

} // namespace Kakiva::journal
