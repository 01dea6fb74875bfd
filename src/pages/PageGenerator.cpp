#include "pages/PageGenerator.h"

#include "diary/EntryStore.h"
#include "pages/ListPages.h"
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

bool rewriteDayPage(const QString &year, const QString &month, const QString &day, QString *error)
{
    QByteArray entry;
    if (!readEntryBytes(year, month, day, entry, error))
        return false;
    return writeFileWhole(dayPagePath(year, month, day), dayPage(entry), error);
}

// Runs one rewrite and notes its page once it is written.
bool noted(bool rewritten, const QString &path, QStringList *written)
{
    if (rewritten)
        written->append(path);
    return rewritten;
}

} // namespace

qint16 HtmlMake(const QString &year, const QString &month, const QString &day, QString *error)
{
    QStringList written;
    return HtmlMake(year, month, day, &written, error);
}

qint16 HtmlMake(const QString &year, const QString &month, const QString &day, QStringList *written,
                QString *error)
{
    const QString monthDirectory = monthDirectoryPath(year, month);
    if (!DirMake(monthDirectory, error))
        return -1;
    // The lists are only rewritten once the day page is, so a failed entry leaves the
    // whole site as it was.
    const bool all =
        noted(rewriteDayPage(year, month, day, error), dayPagePath(year, month, day), written) &&
        noted(rewriteYearList(error), yearListPath(), written) &&
        noted(rewriteMonthList(year, error), monthListPath(year), written) &&
        noted(rewriteDayList(year, month, error), dayListPath(year, month), written);
    return all ? 0 : -1;
}

} // namespace Kakiva
