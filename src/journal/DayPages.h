#pragma once

#include "diary/DateStrings.h"
#include "journal/SiteChange.h"

#include <QString>

namespace Kakiva::journal {

// Writes the four pages of a public day whose entry was just written (HtmlMake), then the
// files of the site's root (refreshSiteRoot), naming each in change->written in the order
// written. A private day, or one the marks cannot tell is public, gets nothing: its entry is
// all there is of it. A page that cannot be written sets Failure::Pages.
void makeDayPages(const DateFields &date, const QString &siteUrl, SiteChange *change);

} // namespace Kakiva::journal
