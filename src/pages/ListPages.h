#pragma once

#include <QString>

namespace Kakiva {

// The three list pages, rebuilt from what the HTML tree holds at that moment. Each returns
// false when the directory cannot be listed or the page written; *error then says why.
bool rewriteYearList(QString *error);
bool rewriteMonthList(const QString &year, QString *error);
bool rewriteDayList(const QString &year, const QString &month, QString *error);

} // namespace Kakiva
