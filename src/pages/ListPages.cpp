#include "pages/ListPages.h"

#include "pages/PageLines.h"
#include "pages/PagePaths.h"
#include "platform/FileSystem.h"
#include "platform/WholeFile.h"

namespace Kakiva {

namespace {

// Years and months are the subdirectories; the pages and the style sheet beside them are not.
QByteArray directoryLinks(const QList<DirEntry> &listing, QByteArray (*linkLine)(const QString &))
{
    QByteArray links;
    for (const DirEntry &entry : listing) {
        if (entry.isDirectory)
            links += linkLine(entry.name);
    }
    return links;
}

QByteArray yearList(const QList<DirEntry> &root)
{
    return pageHead(PageKind::YearList) + directoryLinks(root, yearLinkLine) + pageEnd();
}

QByteArray monthList(const QList<DirEntry> &yearDirectory)
{
    return pageHead(PageKind::MonthList) + directoryLinks(yearDirectory, monthLinkLine) + listEnd();
}

// Every name of a month directory is a day, whatever it is, except the list itself.
QByteArray dayList(const QList<DirEntry> &monthDirectory)
{
    QByteArray page = pageHead(PageKind::DayList);
    for (const DirEntry &entry : monthDirectory) {
        if (entry.name != QLatin1String("index.html"))
            page += dayLinkLine(entry.name);
    }
    return page + listEnd();
}

using ListPage = QByteArray (*)(const QList<DirEntry> &);

bool rewriteList(const QString &pagePath, const QString &directory, ListPage makePage,
                 QString *error)
{
    const std::optional<QList<DirEntry>> listing = listDirectory(directory, error);
    return listing && writeFileWhole(pagePath, makePage(*listing), error);
}

} // namespace

bool rewriteYearList(QString *error)
{
    return rewriteList(yearListPath(), htmlRootPath(), yearList, error);
}

bool rewriteMonthList(const QString &year, QString *error)
{
    return rewriteList(monthListPath(year), yearDirectoryPath(year), monthList, error);
}

bool rewriteDayList(const QString &year, const QString &month, QString *error)
{
    return rewriteList(dayListPath(year, month), monthDirectoryPath(year, month), dayList, error);
}

} // namespace Kakiva
