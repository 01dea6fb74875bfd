#pragma once

#include <QString>

namespace Kakiva {

// The four pages of one date below the application directory's HTML tree. The
// generator writes them and the upload sends them, so both take their paths from here.
// Directory paths carry no trailing separator.
QString htmlRootPath();
QString yearListPath();
QString yearDirectoryPath(const QString &year);
QString monthDirectoryPath(const QString &year, const QString &month);
QString monthListPath(const QString &year);
QString dayListPath(const QString &year, const QString &month);
QString dayPagePath(const QString &year, const QString &month, const QString &day);

// Whether the page at path (local, or below the HTML tree) is a list: the year list or a
// month's or a year's index.
bool isListPage(const QString &path);

// Whether the file at sitePath (below the HTML tree) is one of the pages the generator writes
// for the days: the year list and whatever lies in a year's folder but the days' pictures.
// The other files of the root (the front page, the style sheet, latest.html, the feed) are
// not.
bool isGeneratedPage(const QString &sitePath);

// Whether sitePath is the published copy of a day's picture: "2026/20261208-1.jpg", in the
// folder of its own year.
bool isDayPicture(const QString &sitePath);

} // namespace Kakiva
