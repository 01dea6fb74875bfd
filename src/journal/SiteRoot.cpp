#include "journal/SiteRoot.h"

#include "journal/SitePaths.h"
#include "pages/NewestDayPage.h"
#include "pages/SiteFeed.h"
#include "pages/StarterFiles.h"

namespace Kakiva::journal {

void refreshSiteRoot(const QString &siteUrl, SiteChange *change)
{
    QStringList starters; // named below the root already
    const bool installed = installStarterFiles(&starters, &change->error);
    change->written.append(starters);
    bool latestChanged = false;
    const bool latest = installed && rewriteNewestDayPage(&latestChanged, &change->error);
    if (latest && latestChanged)
        change->written.append(sitePathsOf({newestDayPagePath()}));
    bool feedChanged = false;
    const bool feed = latest && rewriteFeed(siteUrl, &feedChanged, &change->error);
    if (feed && feedChanged)
        change->written.append(sitePathsOf({feedPath()}));
    if (!feed)
        change->failure = SiteChange::Failure::Pages;
}

} // namespace Kakiva::journal
