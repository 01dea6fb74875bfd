#pragma once

#include "backup/SourceFile.h"

#include <QDate>
#include <QLatin1StringView>
#include <QList>
#include <QString>

#include <optional>

namespace Kakiva {

struct ArchiveMember;

// The SSH host keys the user trusted: part of the connection, like the settings' pins.
inline constexpr QLatin1StringView KnownHostsMemberName{"known_hosts"};

// What a backup holds, named as in the data folder: Diary/ and HTML/ whole (the user's own
// kakiva.css and index.html too), sent.json, known_hosts and Kakiva.ini without its
// password. Hidden files and folders (drafts, temporaries, locks) stay out, and so does
// skipFolder (backups kept below the data folder). Settings that cannot be read are
// named in *leftOut; the other files are read when the archive is written.
QList<ArchiveMember> collectBackupMembers(const QString &dataFolder, const QString &skipFolder,
                                          QList<LeftOutFile> *leftOut);

// True for the names a backup may hold: below Diary/ or HTML/, or one of the three files,
// and no hidden file or folder among them.
bool isBackupMemberName(const QString &name);

// "Diary/2004/03/05.dia" for 5 March 2004, and back; nothing for any other name.
QString entryMemberName(const QDate &date);
std::optional<QDate> entryDateOf(const QString &name);

// Whether the member is the entry of date or one of its pictures, which lie beside it:
// what a restore of that one day puts back.
bool isDayMemberName(const QString &name, const QDate &date);

} // namespace Kakiva
