#pragma once

#include <QDate>
#include <QSet>
#include <QString>

#include <optional>

namespace Kakiva {

// The days the writer keeps to themselves: their entries stay (with drafts, backups and the
// search) but they have no page, no line in a list and no place in the feed. The marks
// live beside the entries, in Diary/.private, one date a line, so backups carry them.
QString privateDaysPath();

// The marked days; none when no day was ever marked. Empty, with *error, when the marks
// exist but cannot be read: the caller then publishes nothing, for a day it cannot tell is
// public must not go to the web.
std::optional<QSet<QDate>> privateDays(QString *error = nullptr);
// True for a marked day, and for every day while the marks cannot be read.
bool isPrivateDay(const QDate &date);

// Marks date private or public again; false with *error when the marks cannot be written.
bool setDayPrivate(const QDate &date, bool isPrivate, QString *error);

} // namespace Kakiva
