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

const QRegularExpression &backupName()
{
    static const QRegularExpression name(
        QStringLiteral("^Kakiva-(\\d{8}-\\d{6})(?:-(\\d{1,4}))?\\.zip$"));
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
    QString path = stem + QStringLiteral(".zip");
    for (int sequence = 2; QFileInfo::exists(path); ++sequence)
        path = stem + QStringLiteral("-%1.zip").arg(sequence);
    return path;
}

} // namespace Kakiva
