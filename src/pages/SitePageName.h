#pragma once

#include <QString>

#include <optional>

namespace Kakiva {

// The years the calendar offers, and so the years an entry and its pages are named for.
inline constexpr int FirstDiaryYear = 1601;
inline constexpr int LastDiaryYear = 9999;

// Whether remotePath (below the remote directory, '/' between names) names one of the
// pages the generator writes: "year.html", "2004/index.html", "2004/08/index.html" or
// "2004/08/17.html", with a year the calendar offers, a month of 01 to 12 and a day of 01 to
// 31. The path is given back rebuilt from the numbers it holds, so nothing of the text
// passed in (a "..", a second slash, a space) can reach a server; nullopt for any other
// name.
std::optional<QString> generatedPagePath(const QString &remotePath);

// The same for the published copy of a day's picture, "2026/20261208-1.jpg": the year's
// folder and a picture's name of a date in that year (isDayPicture), rebuilt from its parts.
std::optional<QString> dayPicturePath(const QString &remotePath);

} // namespace Kakiva
