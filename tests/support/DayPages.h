#pragma once

#include "pages/PagePaths.h"

#include <QStringList>

// The four pages of one date, in the order they are written: the day's page, then the
// list of years, the year's list of months and the month's list of days.
inline QStringList pagesOfDay(const QString &year, const QString &month, const QString &day)
{
    return {Kakiva::dayPagePath(year, month, day), Kakiva::yearListPath(),
            Kakiva::monthListPath(year), Kakiva::dayListPath(year, month)};
}
