#include "backup/BackupLayout.h"

#include "backup/ArchiveWrite.h"
#include "diary/DateStrings.h"
#include "platform/AppDir.h"
#include "platform/WholeFile.h"
#include "settings/SettingsFile.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace Kakiva {

namespace {

const QString Slash = QStringLiteral("/");
// What each server confirmed it holds, and the SSH host keys the user trusted.
constexpr QLatin1StringView ServerRecordName{"sent.json"};
constexpr QLatin1StringView KnownHostsName{"known_hosts"};

// The marks of private days and the feed's record are hidden beside the entries, but are
// the diary's own: a backup carries them.
bool isHiddenPath(const QString &relative)
{
    return (relative.startsWith(QLatin1Char('.')) || relative.contains(QStringLiteral("/."))) &&
           relative != QLatin1String("Diary/.private") &&
           relative != QLatin1String("Diary/.feed.json");
}

bool isBelow(const QString &path, const QString &folder)
{
    return !folder.isEmpty() && (path == folder || path.startsWith(folder + Slash));
}

void collectTree(const QDir &data, const QString &tree, const QString &skipFolder,
                 QList<ArchiveMember> *members)
{
    // Regular files only, linked folders not followed: a link could lead out of the data
    // folder or round in a circle.
    QDirIterator files(data.filePath(tree), QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                       QDirIterator::Subdirectories);
    QList<ArchiveMember> found;
    while (files.hasNext()) {
        const QString path = files.next();
        const QString relative = data.relativeFilePath(path);
        if (!isHiddenPath(relative) && !isBelow(path, skipFolder))
            found.append({relative, path, {}, files.fileInfo().lastModified().toSecsSinceEpoch()});
    }
    std::sort(found.begin(), found.end(),
              [](const ArchiveMember &a, const ArchiveMember &b) { return a.name < b.name; });
    members->append(found);
}

} // namespace

bool collectBackupMembers(const QString &dataFolder, const QString &skipFolder,
                          QList<ArchiveMember> *members, QString *error)
{
    const QDir data(dataFolder);
    const QString skip = QDir::cleanPath(QDir(skipFolder).absolutePath());
    collectTree(data, DiaryDirName, skip, members);
    collectTree(data, HtmlDirName, skip, members);
    for (const QLatin1StringView name : {ServerRecordName, KnownHostsName}) {
        const QFileInfo file(data.filePath(name));
        members->append({name, file.filePath(), {}, file.lastModified().toSecsSinceEpoch()});
    }

    QByteArray settings;
    const FileRead read = readFileWhole(data.filePath(SettingsFileName), &settings, error);
    if (read == FileRead::Failed)
        return false;
    if (read == FileRead::Done)
        members->append({SettingsFileName,
                         {},
                         settingsWithoutPassword(settings),
                         QDateTime::currentSecsSinceEpoch()});
    return true;
}

bool isBackupMemberName(const QString &name)
{
    return name.startsWith(DiaryDirName + Slash) || name.startsWith(HtmlDirName + Slash) ||
           name == ServerRecordName || name == KnownHostsName || name == SettingsFileName;
}

QString entryMemberName(const QDate &date)
{
    const DateFields fields = paddedDateFields(date);
    return DiaryDirName + Slash + fields.year + Slash + fields.month + Slash + fields.day +
           QStringLiteral(".dia");
}

std::optional<QDate> entryDateOf(const QString &name)
{
    static const QRegularExpression entry(
        QStringLiteral("^Diary/(\\d{4})/(\\d{2})/(\\d{2})\\.dia$"));
    const QRegularExpressionMatch match = entry.match(name);
    if (!match.hasMatch())
        return std::nullopt;
    const QDate date(match.captured(1).toInt(), match.captured(2).toInt(),
                     match.captured(3).toInt());
    return date.isValid() ? std::optional(date) : std::nullopt;
}

} // namespace Kakiva
