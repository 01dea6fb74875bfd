#pragma once

#include <QString>
#include <QStringList>

namespace Kakiva {

// Takes one date's day page off the local site: removes it and rewrites the day list. A
// month left without days loses its list and its folder, and is dropped from its year's
// list; a year left without months likewise, and is dropped from the year list. Returns 0,
// or -1 when a page could not be removed or rewritten; then *error says which and why.
// *removed receives every page removed, the day page first.
qint16 HtmlUnmake(const QString &year, const QString &month, const QString &day,
                  QStringList *removed, QString *error = nullptr);

} // namespace Kakiva
