#pragma once

#include "diary/DateStrings.h"
#include "journal/SiteChange.h"

#include <QString>

namespace Kakiva::journal {

// Saves the entry of one date (text as stored, lines ending in CR LF), tells whoever keeps
// something read from the entries (the search, the automatic backup), and rewrites the
// date's four pages (HtmlMake). The change names the pages written, in the order written;
// an entry that could not be written changes nothing (Failure::Entry), a page that could
// not be written leaves the entry saved (Failure::Pages).
SiteChange saveDay(const DateFields &date, const QString &text);

} // namespace Kakiva::journal
