#pragma once

#include <QString>

namespace Kakiva {

// Why the member name of a backup may not be written into the data folder, or nothing
// when it may: it must be a name a Kakiva backup holds, its file must not be a folder (or
// anything else but a file) today, none of its folders a file, and, links followed, it
// must not land on the running program or its lock. Checked for every member before a
// restore writes anything, and again as each is written.
QString restoreTargetFault(const QString &name);

} // namespace Kakiva
