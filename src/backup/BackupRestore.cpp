#include "backup/BackupRestore.h"

#include "backup/ArchiveRead.h"
#include "backup/BackupInspect.h"
#include "backup/BackupLayout.h"
#include "backup/BackupRun.h"
#include "backup/PrivateArchiveCopy.h"
#include "backup/RestoreTarget.h"
#include "diary/DateStrings.h"
#include "diary/EntrySaveNotice.h"
#include "platform/AppDir.h"
#include "platform/FileSystem.h"
#include "platform/WholeFile.h"
#include "settings/SettingsFile.h"

#include <QFileInfo>

namespace Kakiva {

namespace {

bool writeDataFile(const QString &name, const QByteArray &bytes, QString *error,
                   RestoredConnection connection = RestoredConnection::Current)
{
    // The same rule as before the backup of the current state: the archive is a private
    // copy, but what it holds is checked again as it is written.
    if (const QString fault = restoreTargetFault(name); !fault.isEmpty()) {
        *error = fault;
        return false;
    }
    const QString path = applicationPath(name);
    if (!DirMake(QFileInfo(path).path() + QLatin1Char('/'), error))
        return false;
    if (name != SettingsFileName)
        return writeFileWhole(path, bytes, error);
    QByteArray current;
    if (readFileWhole(path, &current, error) == FileRead::Failed)
        return false;
    return writeFileWhole(path, mergeRestoredSettings(current, bytes, connection), error,
                          /*ownerOnly=*/true);
}

// False, with *error, when the caller stops the restore before step.
bool goOn(const RestoreProgress &progress, RestoreStep step, QString *error)
{
    if (!progress || progress(step))
        return true;
    *error = QStringLiteral("cancelled");
    return false;
}

// Every member that is to be written (all, without wanted) may be written where it goes:
// nothing is written otherwise.
bool targetsFit(const QString &archive, QString *error,
                const std::function<bool(const QString &)> &wanted = {})
{
    return readBackupArchive(
        archive,
        [&wanted](const QString &name, const QByteArray &, QString *fault) {
            if (wanted && !wanted(name))
                return true;
            *fault = restoreTargetFault(name);
            return fault->isEmpty();
        },
        error);
}

// The private copy taken, read and checked; with allTargets, also whether every member
// may be written where it goes.
bool takeCheckedCopy(const QString &path, PrivateArchiveCopy *copy, BackupSummary *summary,
                     bool allTargets, QString *error)
{
    if (!copy->take(path, error))
        return false;
    if (inspectBackup(copy->path(), summary, error) &&
        (!allTargets || targetsFit(copy->path(), error)))
        return true;
    *error = copy->asSource(*error);
    return false;
}

void noteEntry(const QDate &date)
{
    const DateFields fields = paddedDateFields(date);
    noteEntrySaved(fields.year, fields.month, fields.day);
}

} // namespace

bool restoreBackup(const QString &path, QString *error, RestoredConnection connection,
                   const RestoreProgress &progress)
{
    PrivateArchiveCopy copy;
    BackupSummary summary;
    if (!goOn(progress, RestoreStep::Checking, error) ||
        !takeCheckedCopy(path, &copy, &summary, /*allTargets=*/true, error) ||
        !goOn(progress, RestoreStep::BackingUp, error) ||
        !writeBackupNow(error, nullptr, Pruning::KeepOlder) ||
        !goOn(progress, RestoreStep::Writing, error))
        return false;
    const bool written = readBackupArchive(
        copy.path(),
        [connection](const QString &name, const QByteArray &bytes, QString *fault) {
            // Today's host keys go with today's connection.
            if (name == KnownHostsMemberName && connection == RestoredConnection::Current)
                return true;
            if (!writeDataFile(name, bytes, fault, connection))
                return false;
            if (const std::optional<QDate> date = entryDateOf(name))
                noteEntry(*date);
            return true;
        },
        error);
    if (!written)
        *error = copy.asSource(*error);
    return written;
}

bool restoreDayEntry(const QString &path, const QDate &date, QString *error)
{
    PrivateArchiveCopy copy;
    BackupSummary summary;
    if (!takeCheckedCopy(path, &copy, &summary, /*allTargets=*/false, error))
        return false;
    if (!summary.hasDay(date)) {
        *error =
            fileErrorMessage(path, QStringLiteral("holds no entry of %1").arg(slashedDate(date)));
        return false;
    }
    // The entry and its pictures go back together or not at all.
    const auto ofTheDay = [&date](const QString &name) { return isDayMemberName(name, date); };
    if (!targetsFit(copy.path(), error, ofTheDay)) {
        *error = copy.asSource(*error);
        return false;
    }
    if (!writeBackupNow(error, nullptr, Pruning::KeepOlder))
        return false;
    const bool written = readBackupArchive(
        copy.path(),
        [&date](const QString &name, const QByteArray &bytes, QString *fault) {
            return !isDayMemberName(name, date) || writeDataFile(name, bytes, fault);
        },
        error);
    if (!written)
        *error = copy.asSource(*error);
    return written;
}

} // namespace Kakiva
