#pragma once

#include <QString>

namespace Kakiva {

// The four pages of one date below the application directory's HTML tree. The
// generator writes them and the upload sends them, so both take their paths from here.
QString htmlRootPath();
QString yearListPath();
QString monthListPath(const QString &year);
QString dayListPath(const QString &year, const QString &month);
QString dayPagePath(const QString &year, const QString &month, const QString &day);

} // namespace Kakiva
