#pragma once

#include "diary/DateStrings.h"
#include "journal/SiteChange.h"

namespace Kakiva::journal {

// What happens to a day's pictures when something happens to the day.

// After its entry was written or put back: the pictures the entry no longer names go
// (an inserted line the user took out leaves nothing behind). A picture that cannot be
// removed sets Failure::Pages.
void dropUnnamedPictures(const DateFields &date, SiteChange *change);

// When the dialog leaves without saving: the pictures inserted meanwhile, which the stored
// entry (or its absence) does not name, go. An entry that cannot be read keeps them all.
void dropUnsavedPictures(const DateFields &date);

// After its pages were written: the published copies follow the pictures the entry names.
// The copies written go to change->written, those removed to change->removed and into
// the record of every server that holds them, so the next publish removes them there.
void publishPictures(const DateFields &date, SiteChange *change);

// The published copies of the day's pictures, as paths below the HTML tree.
QStringList publishedPictures(const DateFields &date);

// Takes every published copy of the day's pictures off the local site, into
// change->removed; for a day deleted or made private.
void unpublishPictures(const DateFields &date, SiteChange *change);

} // namespace Kakiva::journal
