#pragma once

#include "publish/SiteCheck.h"

#include <QString>
#include <QStringList>

namespace Kakiva::CheckReportText {

// The lines the check window lists: for each kind of difference found, a heading with its
// count and what was done, then its files, one to a line, indented.
QStringList linesOf(const SiteCheckReport &report);

// One sentence on the whole: nothing differs, or how many pages are unsent now.
QString summaryOf(const SiteCheckReport &report);

// The line shown while the check lists the server's directories.
QString progressOf(const SiteCheckProgress &progress);

} // namespace Kakiva::CheckReportText
