#pragma once

#include "diary/DateStrings.h"
#include "pictures/WebPicture.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace Kakiva {

// A day's pictures beside its entry in Diary (so backups, restores and a deletion take
// them along), and their published copies in the HTML tree. The copies lie in the year's
// folder, "HTML/2026/20261208-1.jpg": the month list shows only the folders of a year and
// the year list only the folders of the root, so no list ever shows a picture, and the
// day page "HTML/2026/12/08.html" reaches one as "../20261208-1.jpg".

// Keeps picture as the day's next picture; *name receives its file name. False with
// *error when it could not be written.
bool storeDayPicture(const DateFields &date, const WebPicture &picture, QString *name,
                     QString *error);

// The file of one of the day's pictures, and of its published copy.
QString dayPicturePath(const DateFields &date, const QString &name);
QString publishedPicturePath(const DateFields &date, const QString &name);

// The line an entry holds to show the picture on the day page.
QString pictureLine(const QString &name, const QSize &size);

// Removes the day's pictures that entryText no longer names; *removed receives their names.
// False with *error at the first that cannot be removed.
bool removeUnnamedPictures(const DateFields &date, const QByteArray &entryText,
                           QStringList *removed, QString *error);

// Removes every picture of the day, for a deletion.
bool removeDayPictures(const DateFields &date, QString *error);

// Brings the published copies in line with the day's pictures that entryText names: a
// new or changed one is copied (its path to *written), one no longer named or kept is
// removed (to *removed). Paths are local.
bool publishDayPictures(const DateFields &date, const QByteArray &entryText, QStringList *written,
                        QStringList *removed, QString *error);

// The published copies of the day's pictures, local paths.
QStringList publishedDayPictures(const DateFields &date);

// Removes every published copy of the day's pictures, for a day taken off the site.
bool unpublishDayPictures(const DateFields &date, QStringList *removed, QString *error);

} // namespace Kakiva
