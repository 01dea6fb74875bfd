#pragma once

#include "journal/SiteChange.h"
#include "pages/PagePaths.h"

#include <QStringList>

// The four pages of one date, in the order they are written: the day's page, then the
// list of years, the year's list of months and the month's list of days.
inline QStringList pagesOfDay(const QString &year, const QString &month, const QString &day)
{
    return {Kakiva::dayPagePath(year, month, day), Kakiva::yearListPath(),
            Kakiva::monthListPath(year), Kakiva::dayListPath(year, month)};
}

// The same four pages, in the same order, by their paths below the HTML tree (and below the
// remote directory), as a change to the day names them.
inline QStringList sitePagesOfDay(const QString &year, const QString &month, const QString &day)
{
    const QString monthPath = year + u'/' + month;
    return {monthPath + u'/' + day + QLatin1String(".html"), QStringLiteral("year.html"),
            year + QLatin1String("/index.html"), monthPath + QLatin1String("/index.html")};
}

// A save of the day, as the entry dialog hands it to the upload window.
inline Kakiva::journal::SiteChange savedDay(const QString &year, const QString &month,
                                            const QString &day)
{
    Kakiva::journal::SiteChange change;
    change.written = sitePagesOfDay(year, month, day);
    return change;
}
