#pragma once

#include "diary/DateStrings.h"
#include "journal/SiteChange.h"

#include <QString>

namespace Kakiva::journal {

// Takes one day back. A backup of the whole diary is written first, so the day can be
// restored from it; nothing changes when it fails (Failure::Backup). Then the entry goes
// with its pictures, the published copies of those, its day page, and the lists, month and
// year folders left empty (DiaryDelete, HtmlUnmake); each removed file that a server holds
// is remembered in that server's record, so the next publish there removes it too. The
// change names the files removed, the pictures and then the day page first, and
// the lists rewritten, then the files of the site's root that changed (refreshSiteRoot; the
// feed only with a public address, siteUrl). At the first step that fails it stops; what
// went before stays done.
SiteChange deleteDay(const DateFields &date, const QString &siteUrl = QString());

} // namespace Kakiva::journal
