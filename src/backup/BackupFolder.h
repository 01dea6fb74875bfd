#pragma once

#include <QDateTime>
#include <QLatin1StringView>
#include <QList>
#include <QString>

namespace Kakiva {

// Backups go to Backups/ in the data folder unless the user chose another folder
// (another disk, a synced folder), kept in Kakiva.ini as [Backup] Folder.
inline constexpr QLatin1StringView BackupDirName{"Backups"};

QString defaultBackupFolder();
QString backupFolder();

// Stores the chosen folder; the default folder (or an empty one) is stored as empty, so
// the backups follow the data folder when it moves. False with *error when the value
// cannot be stored.
bool setBackupFolder(const QString &folder, QString *error);

struct BackupFile
{
    QString path;
    QDateTime taken;
    qint64 size = 0;
};

// The backups in folder that Kakiva named, of either format, newest first; anything else
// there is not ours and is never listed, so never removed.
QList<BackupFile> listBackups(const QString &folder);

// "Kakiva-YYYYMMDD-HHMMSS.tar.zst", with "-2", "-3"... when one of that second exists.
// Earlier versions wrote "Kakiva-YYYYMMDD-HHMMSS.zip", which are listed and restored too.
QString newBackupPath(const QString &folder, const QDateTime &taken);

} // namespace Kakiva
