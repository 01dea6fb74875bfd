#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace Kakiva {

// Why a file of the data folder stayed out of a backup. The windows word it for the user.
enum class LeftOutReason
{
    NotAFile,   // a folder, a pipe, a device or a socket where a file belongs
    Unreadable, // a file that could not be opened or read to its end
};

struct LeftOutFile
{
    QString name; // as inside the archive, '/' separated
    LeftOutReason reason = LeftOutReason::Unreadable;
    QString detail; // the system's own words, for the log
};

enum class SourceRead
{
    Read,
    Gone,    // no file there (removed meanwhile): nothing to back up
    LeftOut, // there, but not a file that can be read; *leftOut says why
};

// Reads the file at path whole for a backup, and its time of last change. Anything but a
// regular file is left out without being opened, so a named pipe never blocks the backup.
SourceRead readSourceFile(const QString &path, const QString &name, QByteArray *bytes,
                          qint64 *modified, LeftOutFile *leftOut);

} // namespace Kakiva
