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

// path with every link resolved, also when its last parts do not exist yet.
QString resolvedPath(const QString &path)
{
    QString existing = QDir::cleanPath(QDir(path).absolutePath());
    QStringList missing;
    while (!QFileInfo::exists(existing) && existing != QDir::rootPath()) {
        missing.prepend(QFileInfo(existing).fileName());
        existing = QFileInfo(existing).path();
    }
    const QString canonical = QFileInfo(existing).canonicalFilePath();
    missing.prepend(canonical.isEmpty() ? existing : canonical);
    return QDir::cleanPath(missing.join(QLatin1Char('/')));
}

bool isAtOrInside(const QString &path, const QString &folder)
{
    return path == folder || folder == QDir::rootPath() ||
           path.startsWith(folder + QLatin1Char('/'));
}

} // namespace

BackupFolderFault backupFolderFault(const QString &folder, const QString &dataFolder)
{
    const QString chosen = resolvedPath(folder);
    const QString data = resolvedPath(dataFolder);
    if (chosen == data)
        return BackupFolderFault::DataFolder;
    if (isAtOrInside(data, chosen))
        return BackupFolderFault::AboveDataFolder;
    if (isAtOrInside(chosen, resolvedPath(data + QLatin1Char('/') + DiaryDirName)))
        return BackupFolderFault::InDiary;
    if (isAtOrInside(chosen, resolvedPath(data + QLatin1Char('/') + HtmlDirName)))
        return BackupFolderFault::InHtml;
    return BackupFolderFault::None;
}

QString backupFolderFaultText(BackupFolderFault fault)
{
    switch (fault) {
    case BackupFolderFault::None:
        break;
    case BackupFolderFault::DataFolder:
        return QStringLiteral("日記のデータフォルダそのものにはバックアップを保存できません。");
    case BackupFolderFault::AboveDataFolder:
        return QStringLiteral(
            "日記のデータフォルダを含むフォルダにはバックアップを保存できません。");
    case BackupFolderFault::InDiary:
        return QStringLiteral("日記のフォルダ (Diary) の中にはバックアップを保存できません。");
    case BackupFolderFault::InHtml:
        return QStringLiteral("Web ページのフォルダ (HTML) の中にはバックアップを保存できません"
                              "（バックアップが公開されてしまいます）。");
    }
    return {};
}

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
    const BackupFolderFault fault =
        backupFolderFault(folder.isEmpty() ? defaultBackupFolder() : folder,
                          applicationDirectory());
    if (fault != BackupFolderFault::None) {
        if (error)
            *error = backupFolderFaultText(fault);
        return false;
    }
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
