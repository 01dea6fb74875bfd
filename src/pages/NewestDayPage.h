#pragma once

#include <QDate>
#include <QString>

#include <optional>

namespace Kakiva {

// "latest.html" at the root of the HTML tree: what the front page's frame "main" shows. It
// sends the browser on to the newest day page the tree holds, so the front page itself,
// which is the user's, never has to change when a day is written.
QString newestDayPagePath();

// The newest date whose day page the tree holds, if any.
std::optional<QDate> newestPublishedDay();

// Rewrites latest.html for the tree as it is now; *changed tells whether its bytes differ
// from those on disk (an unchanged page needs no upload). False with *error when the page
// cannot be written.
bool rewriteNewestDayPage(bool *changed, QString *error);

} // namespace Kakiva
