#include "backup/BackupLayout.h"

#include "backup/ArchiveWrite.h"
#include "diary/DateStrings.h"
#include "diary/DayPictureNames.h"
#include "platform/AppDir.h"
#include "platform/WholeFile.h"
#include "settings/SettingsFile.h"

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
    // The paths begin with the data folder's own, as given.
    const qsizetype prefix = data.path().size() + 1;
    QList<ArchiveMember> found;
    while (files.hasNext()) {
        const QString path = files.next();
        const QString relative = path.sliced(prefix);
        if (!isHiddenPath(relative) && !isBelow(path, skipFolder))
            found.append({relative, path, {}, 0});
    }
    std::sort(found.begin(), found.end(),
              [](const ArchiveMember &a, const ArchiveMember &b) { return a.name < b.name; });
    members->append(found);
}

} // namespace

QList<ArchiveMember> collectBackupMembers(const QString &dataFolder, const QString &skipFolder,
                                          QList<LeftOutFile> *leftOut)
{
    QList<ArchiveMember> members;
    const QDir data(dataFolder);
    const QString skip = QDir::cleanPath(QDir(skipFolder).absolutePath());
    collectTree(data, DiaryDirName, skip, &members);
    collectTree(data, HtmlDirName, skip, &members);
    for (const QLatin1StringView name : {ServerRecordName, KnownHostsMemberName})
        members.append({name, data.filePath(name), {}, 0});

    QByteArray settings;
    qint64 modified = 0;
    LeftOutFile unread;
    switch (readSourceFile(data.filePath(SettingsFileName), SettingsFileName, &settings, &modified,
                           &unread)) {
    case SourceRead::Read:
        members.append({SettingsFileName, {}, settingsWithoutPassword(settings), modified});
        break;
    case SourceRead::Gone:
        break;
    case SourceRead::LeftOut:
        leftOut->append(unread);
        break;
    }
    return members;
}

bool isBackupMemberName(const QString &name)
{
    // Hidden files never go into a backup (drafts, temporaries, the lock), so a member
    // that names one was not made by Kakiva.
    if (isHiddenPath(name))
        return false;
    return name.startsWith(DiaryDirName + Slash) || name.startsWith(HtmlDirName + Slash) ||
           name == ServerRecordName || name == KnownHostsMemberName || name == SettingsFileName;
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

bool isDayMemberName(const QString &name, const QDate &date)
{
    const QString entry = entryMemberName(date);
    if (name == entry)
        return true;
    const QString folder = entry.first(entry.lastIndexOf(Slash) + 1);
    if (!name.startsWith(folder))
        return false;
    const std::optional<DayPictureName> picture = parseDayPictureName(name.sliced(folder.size()));
    return picture && picture->date == date;
}

} // namespace Kakiva
