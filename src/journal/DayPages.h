#pragma once

#include "diary/DateStrings.h"
#include "journal/SiteChange.h"

#include <QString>

namespace Kakiva::journal {

// Writes the four pages of a public day whose entry was just written (HtmlMake), then the
// copies of the pictures its entry names (publishPictures), then the files of the site's
// root (refreshSiteRoot), naming each in change->written in the order written. A private day gets
// nothing: its entry is all there is of it. Marks of private days that cannot be read, or a page
// that cannot be written, set Failure::Pages.
void makeDayPages(const DateFields &date, const QString &siteUrl, SiteChange *change);

} // namespace Kakiva::journal
