#pragma once

#include <QByteArray>
#include <QString>

namespace Kakiva {

// One entry per day in Diary/<year>/<month>/<day>.dia below the application directory,
// Windows-932 text with CR LF line ends and one CR LF after the text.

QString entryFilePath(const QString &year, const QString &month, const QString &day);

// Saves text (lines separated by CR LF). Returns 0, or -1 when the file could not be
// written or an entry there cannot be read; then *error says which path and why, and
// the previous entry stays whole.
qint16 DiaryWrite(const QString &year, const QString &month, const QString &day,
                  const QString &text, QString *error = nullptr);

inline constexpr qint16 EntryMissing = -1;    // the normal case of a new day
inline constexpr qint16 EntryUnreadable = -2; // an entry exists but cannot be read

// Removes the entry of one day, and its month and year folders once they hold nothing.
// True when the entry is gone (a day without one included); otherwise *error says why.
bool DiaryDelete(const QString &year, const QString &month, const QString &day,
                 QString *error = nullptr);

// Appends the entry's lines to text, joined by CR LF (after a CR LF when text already
// holds something). Leading blank lines are kept, and the character references written
// for characters the code page cannot hold become those characters again. Returns 0 when
// the file was read to its end, EntryMissing or EntryUnreadable otherwise; then *error
// says which path and why. Nothing is created on disk.
qint16 DiaryRead(const QString &year, const QString &month, const QString &day, QString &text,
                 QString *error = nullptr);

// The entry's bytes as stored, unconverted: the day page copies them verbatim. False when
// the file cannot be read; then *error says which path and why.
bool readEntryBytes(const QString &year, const QString &month, const QString &day,
                    QByteArray &bytes, QString *error = nullptr);

} // namespace Kakiva
