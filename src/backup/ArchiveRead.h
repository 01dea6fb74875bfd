#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace Kakiva {

// What a diary of fifty years with pictures unpacks to stays under this: 18,263 days of
// two pictures of 600 KiB and 32 KiB of entry and pages come to about 21 GiB. No backup
// is larger, packed or unpacked.
inline constexpr qint64 BackupByteCeiling = qint64(24) << 30;

// Called with each file of the archive, in archive order, once its bytes were read whole
// and found intact. Returning false stops the reading (the visitor says why in *error).
using MemberVisitor =
    std::function<bool(const QString &name, const QByteArray &bytes, QString *error)>;

// Reads the backup archive at path to its end: a tar compressed with zstd when the name
// ends in ".tar.zst", else a zip archive (the backups of earlier versions). Refused, with
// the reason in *error: a file that is not of that format or is cut short or damaged, an
// encrypted member, a member that is a link, a device or anything else but a regular file
// or a folder, a name that is not UTF-8, holds a control character or is not a plain
// relative path below the archive (absolute, "..", "." or empty parts, backslashes), a
// name twice or a file where another member needs a folder, and members larger than any
// diary's or, all together, more than the archive's size could hold for a diary. Folders
// are passed over.
bool readBackupArchive(const QString &path, const MemberVisitor &visit, QString *error);

// True when path names a backup of the solid format.
bool isTarZstdName(const QString &path);

} // namespace Kakiva
