#include "backup/BackupFolder.h"

#include "platform/AppDir.h"
#include "settings/SettingsFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace Kakiva {

namespace {

const QString TimeFormat = QStringLiteral("yyyyMMdd-HHmmss");
const QString BackupSuffix = QStringLiteral(".tar.zst");
const QString OldBackupSuffix = QStringLiteral(".zip");

const QRegularExpression &backupName()
{
    static const QRegularExpression name(
        QStringLiteral("^Kakiva-(\\d{8}-\\d{6})(?:-(\\d{1,4}))?\\.(?:tar\\.zst|zip)$"));
    return name;
}

bool sameFolder(const QString &a, const QString &b)
{
    return QDir::cleanPath(QDir(a).absolutePath()) == QDir::cleanPath(QDir(b).absolutePath());
}

} // namespace

QString defaultBackupFolder()
{
    return applicationPath(BackupDirName);
}

QString backupFolder()
{
    const QString chosen = IniRead(BackupSection, BackupFolderKey);
    return chosen.isEmpty() ? defaultBackupFolder() : QDir::cleanPath(chosen);
}

bool setBackupFolder(const QString &folder, QString *error)
{
    const bool isDefault = folder.isEmpty() || sameFolder(folder, defaultBackupFolder());
    return IniWrite(BackupSection, BackupFolderKey, isDefault ? QString() : folder, error);
}

QList<BackupFile> listBackups(const QString &folder)
{
    struct Named
    {
        BackupFile file;
        int sequence;
    };
    QList<Named> found;
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files);
    for (const QFileInfo &entry : entries) {
        const QRegularExpressionMatch match = backupName().match(entry.fileName());
        const QDateTime taken = QDateTime::fromString(match.captured(1), TimeFormat);
        if (match.hasMatch() && taken.isValid())
            found.append({{entry.filePath(), taken, entry.size()}, match.captured(2).toInt()});
    }
    std::sort(found.begin(), found.end(), [](const Named &a, const Named &b) {
        return a.file.taken != b.file.taken ? a.file.taken > b.file.taken : a.sequence > b.sequence;
    });
    QList<BackupFile> backups;
    for (const Named &named : found)
        backups.append(named.file);
    return backups;
}

QString newBackupPath(const QString &folder, const QDateTime &taken)
{
    const QString stem = folder + QStringLiteral("/Kakiva-") + taken.toString(TimeFormat);
    // A zip backup of that second (written by an earlier version) counts as taken too, so
    // that the order of the two stays clear.
    const auto isTaken = [](const QString &name) {
        return QFileInfo::exists(name + BackupSuffix) || QFileInfo::exists(name + OldBackupSuffix);
    };
    QString name = stem;
    for (int sequence = 2; isTaken(name); ++sequence)
        name = stem + QStringLiteral("-%1").arg(sequence);
    return name + BackupSuffix;
}

} // namespace Kakiva
