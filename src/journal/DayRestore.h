#pragma once

#include "journal/SiteChange.h"

#include <QDate>
#include <QString>

namespace Kakiva::journal {

// Puts back the entry of one day from the backup at path (restoreDayEntry: the backup is
// checked and the current state backed up first), tells whoever keeps something read from
// the entries, and rewrites that day's pages and the lists, leaving every other day as it
// is; also brings back a deleted day. The day's page is then unsent like any new one; a
// private day gets none. The files of the site's root follow (refreshSiteRoot; the feed only
// with a public address, siteUrl). The change names the files written, in the order
// written; an entry that could not be put back changes nothing (Failure::Entry).
SiteChange restoreDay(const QString &path, const QDate &date, const QString &siteUrl = QString());

} // namespace Kakiva::journal
