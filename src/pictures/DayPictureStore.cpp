#include "pictures/DayPictureStore.h"

#include "diary/DayPictureNames.h"
#include "pages/PagePaths.h"
#include "platform/FileSystem.h"
#include "platform/WholeFile.h"

#include <QFileInfo>

namespace Kakiva {

namespace {

bool removeAll(const QStringList &paths, QStringList *removed, QString *error)
{
    for (const QString &path : paths) {
        if (!removeFile(path, error))
            return false;
        removed->append(path);
    }
    return true;
}

bool sameContent(const QString &a, const QString &b)
{
    QByteArray first;
    QByteArray second;
    return readFileWhole(a, &first) == FileRead::Done &&
           readFileWhole(b, &second) == FileRead::Done && first == second;
}

} // namespace

QString dayPicturePath(const DateFields &date, const QString &name)
{
    return dayPictureFolder(date) + QLatin1Char('/') + name;
}

QString publishedPicturePath(const DateFields &date, const QString &name)
{
    return yearDirectoryPath(date.year) + QLatin1Char('/') + name;
}

QString pictureLine(const QString &name, const QSize &size)
{
    return QStringLiteral("<img src=\"../%1\" width=\"%2\" height=\"%3\" alt=\"\">")
        .arg(name)
        .arg(size.width())
        .arg(size.height());
}

bool storeDayPicture(const DateFields &date, const WebPicture &picture, QString *name,
                     QString *error)
{
    const int number = nextDayPictureNumber(date);
    if (number > MaxPicturesPerDay) {
        *error = QStringLiteral("この日の画像はこれ以上増やせません。");
        return false;
    }
    *name = dayPictureName(date, number, picture.suffix);
    return DirMake(dayPictureFolder(date) + QLatin1Char('/'), error) &&
           writeFileWhole(dayPicturePath(date, *name), picture.bytes, error);
}

bool removeUnnamedPictures(const DateFields &date, const QByteArray &entryText,
                           QStringList *removed, QString *error)
{
    for (const QString &name : dayPictures(date)) {
        if (refersToPicture(entryText, name))
            continue;
        if (!removeFile(dayPicturePath(date, name), error))
            return false;
        removed->append(name);
    }
    return true;
}

bool removeDayPictures(const DateFields &date, QString *error)
{
    QStringList removed;
    return removeUnnamedPictures(date, QByteArray(), &removed, error);
}

QStringList publishedDayPictures(const DateFields &date)
{
    const QDate day = dateOf(date);
    QStringList paths;
    for (const DirEntry &entry :
         listDirectory(yearDirectoryPath(date.year)).value_or(QList<DirEntry>())) {
        const std::optional<DayPictureName> name = parseDayPictureName(entry.name);
        if (!entry.isDirectory && name && name->date == day)
            paths.append(publishedPicturePath(date, entry.name));
    }
    return paths;
}

bool publishDayPictures(const DateFields &date, const QByteArray &entryText, QStringList *written,
                        QStringList *removed, QString *error)
{
    QStringList kept;
    for (const QString &name : dayPictures(date)) {
        if (!refersToPicture(entryText, name))
            continue;
        const QString source = dayPicturePath(date, name);
        const QString copy = publishedPicturePath(date, name);
        kept.append(copy);
        if (sameContent(source, copy))
            continue;
        QByteArray bytes;
        if (readFileWhole(source, &bytes, error) != FileRead::Done ||
            !DirMake(yearDirectoryPath(date.year) + QLatin1Char('/'), error) ||
            !writeFileWhole(copy, bytes, error))
            return false;
        written->append(copy);
    }
    QStringList stale = publishedDayPictures(date);
    stale.removeIf([&kept](const QString &path) { return kept.contains(path); });
    return removeAll(stale, removed, error);
}

bool unpublishDayPictures(const DateFields &date, QStringList *removed, QString *error)
{
    return removeAll(publishedDayPictures(date), removed, error);
}

} // namespace Kakiva
