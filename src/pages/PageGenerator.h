#pragma once

#include <QString>

namespace Kakiva {

// Rewrites the day page, the year list, the month list and the day list of one date.
// Returns 0 when all four were written, -1 otherwise; then *error says which file failed
// and why. When the entry cannot be read the day page keeps its previous version and
// the lists are not rewritten.
qint16 HtmlMake(const QString &year, const QString &month, const QString &day,
                QString *error = nullptr);

} // namespace Kakiva
