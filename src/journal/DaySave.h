#pragma once

#include "diary/DateStrings.h"
#include "journal/SiteChange.h"

#include <QString>

namespace Kakiva::journal {

// Saves the entry of one date (text as stored, lines ending in CR LF), tells whoever keeps
// something read from the entries (the search, the automatic backup), and rewrites the
// date's four pages (HtmlMake) and the copies of its pictures, then the files of the site's root
// (refreshSiteRoot; the feed only with a public address, siteUrl). The day's pictures the text no
// longer names are removed first, locally and, through the change, from the site. A private day's
// entry is saved and nothing of the site changes. The change names the files written, in the order
// written; an entry that could not be written changes nothing (Failure::Entry), a page that could
// not be written leaves the entry saved (Failure::Pages).
SiteChange saveDay(const DateFields &date, const QString &text, const QString &siteUrl = QString());

} // namespace Kakiva::journal
