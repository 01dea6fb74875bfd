#include "pages/DayPageRemoval.h"

#include "pages/ListPages.h"
#include "pages/PagePaths.h"
#include "platform/FileSystem.h"

#include <QFileInfo>

#include <functional>
#include <optional>

namespace Kakiva {

namespace {

// A folder whose listing holds nothing but its own list page has nothing left to list.
bool holdsOnlyItsList(const QString &directory)
{
    const auto listing = listDirectory(directory);
    return listing &&
           (listing->isEmpty() ||
            (listing->size() == 1 && listing->first().name == QLatin1String("index.html")));
}

bool removePage(const QString &path, QStringList *removed, QString *error)
{
    const bool existed = QFileInfo::exists(path);
    if (!removeFile(path, error))
        return false;
    if (existed)
        removed->append(path);
    return true;
}

// Removes the folder's list and the folder once nothing else is in it, otherwise rewrites
// the list: true when the folder is gone, nothing when a page failed.
std::optional<bool> pruneOrRewrite(const QString &directory, const QString &listPath,
                                   const std::function<bool(QString *)> &rewrite,
                                   QStringList *removed, QString *error)
{
    // A day whose pages were never made (written before there was a site, say) has no
    // folder here: there is nothing to list.
    if (!QFileInfo(directory).isDir())
        return true;
    if (holdsOnlyItsList(directory)) {
        if (!removePage(listPath, removed, error))
            return std::nullopt;
        if (removeEmptyDirectory(directory))
            return true;
    }
    if (!rewrite(error))
        return std::nullopt;
    return false;
}

} // namespace

qint16 HtmlUnmake(const QString &year, const QString &month, const QString &day,
                  QStringList *removed, QString *error)
{
    if (!removePage(dayPagePath(year, month, day), removed, error))
        return -1;
    const std::optional<bool> monthGone = pruneOrRewrite(
        monthDirectoryPath(year, month), dayListPath(year, month),
        [&](QString *e) { return rewriteDayList(year, month, e); }, removed, error);
    if (!monthGone)
        return -1;
    const auto rewriteMonths = [&](QString *e) { return rewriteMonthList(year, e); };
    const bool yearsListed = *monthGone
                                 ? pruneOrRewrite(yearDirectoryPath(year), monthListPath(year),
                                                  rewriteMonths, removed, error)
                                       .has_value()
                                 : rewriteMonths(error);
    if (!yearsListed)
        return -1;
    return !QFileInfo(htmlRootPath()).isDir() || rewriteYearList(error) ? 0 : -1;
}

} // namespace Kakiva
