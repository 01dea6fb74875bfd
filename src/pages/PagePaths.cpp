#include "pages/PagePaths.h"

#include "platform/AppDir.h"

namespace Kakiva {

QString htmlRootPath()
{
    return applicationPath(HtmlDirName);
}

QString yearListPath()
{
    return htmlRootPath() + QLatin1String("/year.html");
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
    return yearDirectoryPath(year) + QLatin1String("/index.html");
}

QString dayListPath(const QString &year, const QString &month)
{
    return monthDirectoryPath(year, month) + QLatin1String("/index.html");
}

QString dayPagePath(const QString &year, const QString &month, const QString &day)
{
    return monthDirectoryPath(year, month) + QLatin1Char('/') + day + QLatin1String(".html");
}

} // namespace Kakiva
