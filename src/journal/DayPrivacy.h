#pragma once

#include "diary/DateStrings.h"
#include "journal/SiteChange.h"

#include <QString>

namespace Kakiva::journal {

// Keeps a day to the writer or gives it back to the web. Its entry, drafts and backups stay
// either way.

// Marks the day private and takes its page off the site as a deletion does: remembered as
// to go from every server that holds it, removed locally, the lists rewritten without it,
// then latest.html and the feed (refreshSiteRoot). The mark comes after the record and before
// the page goes, so no step that fails leaves the page public with nothing to remove it.
SiteChange makeDayPrivate(const DateFields &date, const QString &siteUrl);

// Takes the mark off and writes the day's pages again (HtmlMake), then the root files.
SiteChange makeDayPublic(const DateFields &date, const QString &siteUrl);

} // namespace Kakiva::journal
