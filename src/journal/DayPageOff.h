#pragma once

#include "diary/DateStrings.h"
#include "journal/SiteChange.h"

namespace Kakiva::journal {

// Taking one day's page off the site, for a deletion and for a day made private alike.

// Remembers the day page and its published pictures as to go from every server that holds
// them. Done before the page
// goes: a crash in between must not leave it on a server with nothing to say it should go.
// False, with Failure::Record, when the record cannot be written.
bool rememberDayPageRemoval(const DateFields &date, SiteChange *change);

// Removes the day's published pictures and page and rewrites the lists (HtmlUnmake); the pages
// removed go to change->removed, the lists still standing to change->written, and the lists of an
// emptied month or year are remembered as to go from the server too.
void takeDayPageOff(const DateFields &date, SiteChange *change);

} // namespace Kakiva::journal
