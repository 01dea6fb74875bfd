#include "pages/PagePaths.h"

#include "diary/DayPictureNames.h"
#include "platform/AppDir.h"

namespace Kakiva {

namespace {

const QLatin1String YearListName("year.html");
const QLatin1String ListName("index.html"); // of a year's months, of a month's days

} // namespace

QString htmlRootPath()
{
    return applicationPath(HtmlDirName);
}

QString yearListPath()
{
    return htmlRootPath() + QLatin1Char('/') + YearListName;
}

QString yearDirectoryPath(const QString &year)
{
    return htmlRootPath() + QLatin1Char('/') + year;
}

QString monthDirectoryPath(const QString &year, const QString &month)
{
    return yearDirectoryPath(year) + QLatin1Char('/') + month;
}

QString monthListPath(const QString &year)
{
    return yearDirectoryPath(year) + QLatin1Char('/') + ListName;
}

QString dayListPath(const QString &year, const QString &month)
{
    return monthDirectoryPath(year, month) + QLatin1Char('/') + ListName;
}

QString dayPagePath(const QString &year, const QString &month, const QString &day)
{
    return monthDirectoryPath(year, month) + QLatin1Char('/') + day + QLatin1String(".html");
}

bool isListPage(const QString &path)
{
    const QString name = path.section(QLatin1Char('/'), -1);
    return name == YearListName || name == ListName;
}

bool isGeneratedPage(const QString &sitePath)
{
    return (sitePath.contains(QLatin1Char('/')) && !isDayPicture(sitePath)) ||
           sitePath == YearListName;
}

bool isDayPicture(const QString &sitePath)
{
    const QStringList parts = sitePath.split(QLatin1Char('/'));
    if (parts.size() != 2)
        return false;
    const std::optional<DayPictureName> name = parseDayPictureName(parts[1]);
    return name && QString::number(name->date.year()) == parts[0];
}

} // namespace Kakiva
