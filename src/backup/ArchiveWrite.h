#pragma once

#include "backup/SourceFile.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstddef>

class QIODevice;

namespace Kakiva {

// One file of a backup: its name inside the archive ('/' separated, UTF-8 in the
// archive) and where its bytes come from: the file at sourcePath (its time with it), or
// bytes and modified when there is no source (the settings without the password).
struct ArchiveMember
{
    QString name;
    QString sourcePath;
    QByteArray bytes;
    qint64 modified = 0; // seconds since the epoch
};

struct WrittenMember
{
    QString name;
    qint64 size = 0;
    size_t digest = 0; // of the bytes, for the check when the archive is read back
};

// What a write put into the archive, and what it had to leave out.
struct WrittenArchive
{
    QList<WrittenMember> members;
    QList<LeftOutFile> leftOut;
};

// Writes members to device as one tar stream compressed whole with zstd, which every
// desktop's archive tool and tar open without Kakiva. A source file that is gone by the
// time it is read (a day deleted meanwhile) is left out silently; one that cannot be read
// (a folder or a pipe where a file belongs, no permission) is left out and named in
// written->leftOut, so one bad file never costs the backup of everything else. False
// when the device refused the bytes; then *error says why.
bool writeBackupArchive(QIODevice &device, const QList<ArchiveMember> &members,
                        WrittenArchive *written, QString *error);

// The digest a written member is checked by when read back: fast, and sure to change
// with a damaged byte.
size_t memberDigest(const QByteArray &bytes);

} // namespace Kakiva
