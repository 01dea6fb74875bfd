#pragma once

#include <QDateTime>
#include <QList>

namespace Kakiva {

// Which backups to keep, given the times they were taken (in any order): the answer holds
// one flag per time, in the same order. From the newest back: every backup of the 7 most
// recent days that have one (so the one written before a restore stays beside the day's
// others), then the newest of each of the 8 weeks (Monday to Sunday) before those, then
// the newest of each of the 24 months before those. Everything older goes.
QList<bool> backupsToKeep(const QList<QDateTime> &taken);

} // namespace Kakiva
