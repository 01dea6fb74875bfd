#include "journal/SiteRoot.h"

#include "journal/SitePaths.h"
#include "pages/NewestDayPage.h"
#include "pages/SiteFeed.h"
#include "pages/StarterFiles.h"

namespace Kakiva::journal {

void refreshSiteRoot(const QString &siteUrl, SiteChange *change)
{
    // Some steps leave a note in the error even when they succeed: only a failure's counts.
    QString error;
    QStringList starters; // named below the root already
    const bool installed = installStarterFiles(&starters, &error);
    change->written.append(starters);
    bool latestChanged = false;
    const bool latest = installed && rewriteNewestDayPage(&latestChanged, &error);
    if (latest && latestChanged)
        change->written.append(sitePathsOf({newestDayPagePath()}));
    bool feedChanged = false;
    const bool feed = latest && rewriteFeed(siteUrl, &feedChanged, &error);
    if (feed && feedChanged)
        change->written.append(sitePathsOf({feedPath()}));
    if (!feed) {
        change->failure = SiteChange::Failure::Pages;
        change->error = error;
    }
}

} // namespace Kakiva::journal
