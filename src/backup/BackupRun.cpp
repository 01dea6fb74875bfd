#include "backup/BackupRun.h"

#include "backup/ArchivePlacement.h"
#include "backup/ArchiveWrite.h"
#include "backup/BackupFolder.h"
#include "backup/BackupInspect.h"
#include "backup/BackupLayout.h"
#include "backup/BackupRotation.h"
#include "diary/DateStrings.h"
#include "platform/AppDir.h"
#include "platform/FileSystem.h"
#include "platform/WholeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QSaveFile>

namespace Kakiva {

namespace {

QMutex backupLock;

// Hidden, so never taken for a backup, and ending like the backup, so read back in its
// format.
QString temporaryPathFor(const QString &path)
{
    const QFileInfo info(path);
    const QString name = info.fileName();
    const qsizetype format = name.indexOf(QLatin1Char('.'));
    return info.dir().filePath(QLatin1Char('.') + name.first(format) + QStringLiteral(".part") +
                               name.sliced(format));
}

bool writeArchiveFile(const QString &path, const QList<ArchiveMember> &members,
                      WrittenArchive *written, QString *error)
{
    QSaveFile file(path);
    // Unbuffered, so that a disk that fills up fails the write that met it: commit() would
    // not notice a failed flush of the buffer. The archive writer collects blocks itself.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        *error = fileErrorMessage(path, file.errorString());
        return false;
    }
    QString reason;
    if (!writeBackupArchive(file, members, written, &reason)) {
        file.cancelWriting();
        *error = reason.contains(QStringLiteral(": ")) ? reason : fileErrorMessage(path, reason);
        return false;
    }
    if (!file.commit()) {
        *error = fileErrorMessage(path, file.errorString());
        return false;
    }
    return true;
}

void pruneOlder(const QString &folder)
{
    const QList<BackupFile> backups = listBackups(folder);
    QList<QDateTime> taken;
    for (const BackupFile &backup : backups)
        taken.append(backup.taken);
    const QList<bool> keep = backupsToKeep(taken);
    for (qsizetype index = 0; index < backups.size(); ++index)
        if (!keep[index])
            QFile::remove(backups[index].path);
}

// A backup cut off by a crash leaves its temporary behind; none is in use now.
void removeLeftovers(const QString &folder)
{
    const QDir dir(folder);
    const QStringList leftovers = dir.entryList(
        {QStringLiteral(".Kakiva-*.part.tar.zst"), QStringLiteral(".Kakiva-*.zip.part")},
        QDir::Files | QDir::Hidden);
    for (const QString &name : leftovers)
        QFile::remove(dir.filePath(name));
}

bool writeBackupLocked(const QString &folder, QString *error, QString *written,
                       QList<LeftOutFile> *leftOut)
{
    // A folder set by hand, or a Backups/ that is a link, is checked at each backup.
    if (const BackupFolderFault fault = backupFolderFault(folder, applicationDirectory());
        fault != BackupFolderFault::None) {
        *error = fileErrorMessage(folder, backupFolderFaultText(fault));
        return false;
    }
    if (!DirMake(folder, error))
        return false;
    removeLeftovers(folder);
    WrittenArchive inArchive;
    const QList<ArchiveMember> members =
        collectBackupMembers(applicationDirectory(), folder, &inArchive.leftOut);
    const QString path = newBackupPath(folder, QDateTime::currentDateTime());
    const QString temporary = temporaryPathFor(path);
    if (!writeArchiveFile(temporary, members, &inArchive, error)) {
        QFile::remove(temporary);
        return false;
    }
    if (!placeCheckedArchive(temporary, path, inArchive.members, error))
        return false;
    if (written)
        *written = path;
    if (leftOut)
        *leftOut = inArchive.leftOut;
    return true;
}

} // namespace

bool writeBackupNow(QString *error, QString *written, Pruning pruning, QList<LeftOutFile> *leftOut)
{
    const QMutexLocker locker(&backupLock);
    const QString folder = backupFolder();
    if (!writeBackupLocked(folder, error, written, leftOut))
        return false;
    // Only now that the new backup was read back and named may older ones go.
    if (pruning == Pruning::Rotate)
        pruneOlder(folder);
    return true;
}

bool writeBackupHolding(const QDate &day, QString *error)
{
    QString path;
    if (!writeBackupNow(error, &path))
        return false;
    BackupSummary summary;
    if (!inspectBackup(path, &summary, error))
        return false;
    if (!summary.hasDay(day)) {
        *error = fileErrorMessage(
            path, QStringLiteral("holds no entry of %1").arg(slashedDate(day)));
        return false;
    }
    return true;
}

} // namespace Kakiva
