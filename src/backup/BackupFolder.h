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

// Why folder cannot hold the backups of the data folder dataFolder; None when it can. Both
// are compared as they resolve on disk, links followed, so a link into Diary/ is Diary/.
enum class BackupFolderFault
{
    None,
    DataFolder,      // the backups would be backed up, and hold no entries
    AboveDataFolder, // likewise: the home folder above ~/Kakiva, a stick's root
    InDiary,         // at or inside Diary/
    InHtml,          // at or inside HTML/: the backups would be published
};
BackupFolderFault backupFolderFault(const QString &folder, const QString &dataFolder);

// Why, in Japanese, for the user; empty for None.
QString backupFolderFaultText(BackupFolderFault fault);

// Stores the chosen folder; the default folder (or an empty one) is stored as empty, so
// the backups follow the data folder when it moves. False with *error when the folder
// cannot hold backups (backupFolderFault, the reason in Japanese) or the value cannot be
// stored.
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
