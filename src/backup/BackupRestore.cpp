#include "backup/BackupRestore.h"

#include "backup/ArchiveRead.h"
#include "backup/BackupInspect.h"
#include "backup/BackupLayout.h"
#include "backup/BackupRun.h"
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

bool checkAndBackUp(const QString &path, BackupSummary *summary, QString *error)
{
    return inspectBackup(path, summary, error) &&
           writeBackupNow(error, nullptr, Pruning::KeepOlder);
}

void noteEntry(const QDate &date)
{
    const DateFields fields = paddedDateFields(date);
    noteEntrySaved(fields.year, fields.month, fields.day);
}

} // namespace

bool restoreBackup(const QString &path, QString *error, RestoredConnection connection)
{
    BackupSummary summary;
    if (!checkAndBackUp(path, &summary, error))
        return false;
    return readZipArchive(
        path,
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
}

bool restoreDayEntry(const QString &path, const QDate &date, QString *error)
{
    BackupSummary summary;
    if (!inspectBackup(path, &summary, error))
        return false;
    if (!summary.hasDay(date)) {
        *error =
            fileErrorMessage(path, QStringLiteral("holds no entry of %1").arg(slashedDate(date)));
        return false;
    }
    if (!writeBackupNow(error, nullptr, Pruning::KeepOlder))
        return false;
    const QString wanted = entryMemberName(date);
    const bool written = readZipArchive(
        path,
        [&wanted](const QString &name, const QByteArray &bytes, QString *fault) {
            return name != wanted || writeDataFile(name, bytes, fault);
        },
        error);
    return written;
}

} // namespace Kakiva
