#pragma once

#include <QString>
#include <QStringList>

namespace Kakiva {

// Rewrites the day page, the year list, the month list and the day list of one date.
// Returns 0 when all four were written, -1 otherwise; then *error says which file failed
// and why. When the entry cannot be read the day page keeps its previous version and
// the lists are not rewritten.
qint16 HtmlMake(const QString &year, const QString &month, const QString &day,
                QString *error = nullptr);

// As above; *written receives the path of each page once it is on disk, in the order they
// are written (day page, year list, month list, day list), also when a later one failed.
qint16 HtmlMake(const QString &year, const QString &month, const QString &day, QStringList *written,
                QString *error = nullptr);

} // namespace Kakiva
