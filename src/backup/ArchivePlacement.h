#pragma once

#include "backup/ArchiveWrite.h"

#include <QList>
#include <QString>

namespace Kakiva {

// Gives the freshly written archive at temporary its own name path, but only once it was
// read back whole and found to hold exactly the members written, in their order, each of
// its size and digest: a backup that only looks written never takes a name, and so never
// counts as a backup. On failure the temporary is removed, path is left alone, and
// *error says why.
bool placeCheckedArchive(const QString &temporary, const QString &path,
                         const QList<WrittenMember> &written, QString *error);

} // namespace Kakiva
