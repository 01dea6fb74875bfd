#pragma once

#include "settings/RestoredSettings.h"

#include <QDate>
#include <QString>

#include <functional>

namespace Kakiva {

// Both restores first copy the backup into a private place of the data folder and work
// on that copy only; they read it whole and check it (inspectBackup, and that no member
// would land on something other than a file of the diary's), then back up the current
// state (kept beside the others, so the restore can be undone), and only then write,
// through the same safe writes as a save: a file is replaced whole or not at all. A
// backup that fails its check, or a current state that cannot be backed up, changes
// nothing; then *error says why.

enum class RestoreStep
{
    Checking,
    BackingUp, // the current state, before anything is written
    Writing,
};
// Told as each step begins, in the calling thread; false stops the restore there, before
// the step, so a restore the user cancels has written nothing of the diary.
using RestoreProgress = std::function<bool(RestoreStep)>;

// Puts back every file the backup holds; files it does not hold stay as they are. The
// settings keep the current backup folder and, unless connection says otherwise, the
// current connection (mergeRestoredSettings) with its SSH host keys (known_hosts).
bool restoreBackup(const QString &path, QString *error,
                   RestoredConnection connection = RestoredConnection::Current,
                   const RestoreProgress &progress = {});

// Puts back the entry of one day and its pictures from the backup, leaving every other day
// as it is; also brings back a deleted day. Its pages are the caller's to rewrite.
bool restoreDayEntry(const QString &path, const QDate &date, QString *error);

} // namespace Kakiva
