#pragma once

#include "journal/SiteChange.h"

#include <QString>

namespace Kakiva::journal {

// What the root of the HTML tree needs after the pages of a change: the starter front page
// and style sheet where none is (installStarterFiles), latest.html for the newest day, and
// the feed when the site has a public address (siteUrl; empty for no feed). Each file whose
// bytes changed goes to the end of change->written; unchanged ones need no upload. A file
// that cannot be written sets Failure::Pages and stops there.
void refreshSiteRoot(const QString &siteUrl, SiteChange *change);

} // namespace Kakiva::journal
