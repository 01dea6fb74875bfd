#pragma once

#include "backup/SourceFile.h"

#include <QDate>
#include <QList>
#include <QString>

namespace Kakiva {

enum class Pruning
{
    Rotate,    // remove the backups the rotation no longer keeps
    KeepOlder, // keep every older one (the backup before a restore: the one restored from
               // might otherwise be rotated away)
};

// Writes a backup of the data folder now, in the calling thread, into backupFolder(): under
// a hidden temporary name, read back and checked, then renamed to its own name; only then
// are older backups pruned. One backup runs at a time; a second call waits for the first.
// False when nothing was written (a full disk, a folder that cannot be written); then
// *error says which and why and every older backup is still there. A file that cannot be
// read stays out and the rest is backed up. On success *written, when given, is the new
// backup's path, and *leftOut, when given, names the files left out and why.
bool writeBackupNow(QString *error, QString *written = nullptr, Pruning pruning = Pruning::Rotate,
                    QList<LeftOutFile> *leftOut = nullptr);

// The backup before day is deleted: writeBackupNow, then the new backup read back whole and
// checked (inspectBackup). True only when it holds day's entry, so the day can be restored
// from it; otherwise *error says why and nothing may be deleted.
bool writeBackupHolding(const QDate &day, QString *error);

} // namespace Kakiva
