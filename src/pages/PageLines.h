#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace Kakiva {

// The lines the pages are made of, as Windows-932 bytes, each ended by CR LF. Names from
// a directory listing go into links exactly as listed, without escaping.

// A page's place in the tree decides how its style sheet line reaches the root.
enum class PageKind
{
    DayPage,
    YearList,
    MonthList,
    DayList,
};

// The seven lines every page starts with.
QByteArray pageHead(PageKind kind);

// "</BODY>" and "</HTML>".
QByteArray pageEnd();

// What the month and day lists write after their links: a gap, the back link, the end.
QByteArray listEnd();

// One body line of the day page: an entry line as stored, then a line break.
QByteArray entryLine(QByteArrayView storedLine);

QByteArray yearLinkLine(const QString &name);
QByteArray monthLinkLine(const QString &name);
QByteArray dayLinkLine(const QString &name);

} // namespace Kakiva
