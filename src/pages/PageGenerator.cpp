#include "pages/PageGenerator.h"

#include "diary/EntryStore.h"
#include "pages/PageLines.h"
#include "pages/PagePaths.h"
#include "platform/FileSystem.h"
#include "platform/TextLines.h"
#include "platform/WholeFile.h"

namespace Kakiva {

namespace {

QByteArray dayPage(QByteArrayView entry)
{
    QByteArray page = pageHead(PageKind::DayPage);
    for (QByteArrayView storedLine : splitLines(entry))
        page += entryLine(storedLine);
    return page + pageEnd();
}

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

bool rewriteDayPage(const QString &year, const QString &month, const QString &day, QString *error)
{
    QByteArray entry;
    if (!readEntryBytes(year, month, day, entry, error))
        return false;
    return writeFileWhole(dayPagePath(year, month, day), dayPage(entry), error);
}

} // namespace

qint16 HtmlMake(const QString &year, const QString &month, const QString &day, QString *error)
{
    const QString monthDirectory = monthDirectoryPath(year, month);
    if (!DirMake(monthDirectory, error))
        return -1;
    // The lists are only rewritten once the day page is, so a failed entry leaves the
    // whole site as it was.
    const bool written =
        rewriteDayPage(year, month, day, error) &&
        rewriteList(yearListPath(), htmlRootPath(), yearList, error) &&
        rewriteList(monthListPath(year), yearDirectoryPath(year), monthList, error) &&
        rewriteList(dayListPath(year, month), monthDirectory, dayList, error);
    return written ? 0 : -1;
}

} // namespace Kakiva
