#include "diary/DayPictureNames.h"

#include "diary/EntryStore.h"
#include "platform/FileSystem.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace Kakiva {

namespace {

QString datePrefix(const DateFields &date)
{
    return date.year + date.month + date.day + QLatin1Char('-');
}

} // namespace

QString dayPictureName(const DateFields &date, int number, const QString &suffix)
{
    return datePrefix(date) + QString::number(number) + QLatin1Char('.') + suffix;
}

std::optional<DayPictureName> parseDayPictureName(const QString &fileName)
{
    static const QRegularExpression shape(
        QStringLiteral("^(\\d{4})(\\d{2})(\\d{2})-([1-9]\\d{0,3})\\.(jpg|png)$"));
    const QRegularExpressionMatch match = shape.match(fileName);
    if (!match.hasMatch())
        return std::nullopt;
    const QDate date(match.captured(1).toInt(), match.captured(2).toInt(),
                     match.captured(3).toInt());
    if (!date.isValid())
        return std::nullopt;
    return DayPictureName{date, match.captured(4).toInt(), match.captured(5)};
}

QString dayPictureFolder(const DateFields &date)
{
    return QFileInfo(entryFilePath(date.year, date.month, date.day)).path();
}

QStringList dayPictures(const DateFields &date)
{
    const QDate day = dateOf(date);
    QList<DayPictureName> found;
    for (const DirEntry &entry :
         listDirectory(dayPictureFolder(date)).value_or(QList<DirEntry>())) {
        const std::optional<DayPictureName> name = parseDayPictureName(entry.name);
        if (!entry.isDirectory && name && name->date == day)
            found.append(*name);
    }
    std::sort(found.begin(), found.end(),
              [](const DayPictureName &a, const DayPictureName &b) { return a.number < b.number; });
    QStringList names;
    for (const DayPictureName &name : std::as_const(found))
        names.append(dayPictureName(date, name.number, name.suffix));
    return names;
}

int nextDayPictureNumber(const DateFields &date)
{
    int highest = 0;
    for (const QString &name : dayPictures(date))
        highest = std::max(highest, parseDayPictureName(name)->number);
    return highest + 1;
}

bool refersToPicture(const QByteArray &text, const QString &pictureName)
{
    // The name alone counts, so a line the user edited keeps its picture as long as it names
    // it; "-1.jpg" is no part of "-11.jpg".
    return text.contains(pictureName.toLatin1());
}

} // namespace Kakiva
