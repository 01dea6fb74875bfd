#pragma once

#include <QFile>
#include <QString>

namespace Kakiva {

enum class FileOpen
{
    Opened,
    Missing,
    Failed,
};

// Opens file (named already) only when it is a regular file, and without waiting: a named
// pipe or a hung device would otherwise block the program for good. A file opened for
// writing is created when missing. On Missing or Failed *reason says why.
FileOpen openRegularFile(QFile &file, QIODevice::OpenMode mode, QString *reason = nullptr);

enum class RegularRead
{
    Done,
    Missing,
    NotRegular, // a folder, a pipe, a device or a socket: never opened
    Failed,
};

// Reads the regular file at path whole, with as few calls to the system as it takes (for
// the thousands of small files of a backup), and its time of last change in seconds since
// the epoch. Anything but a regular file is refused on sight, without being opened. On
// NotRegular or Failed *reason says why.
RegularRead readRegularFileWhole(const QString &path, QByteArray *bytes, qint64 *modified,
                                 QString *reason);

} // namespace Kakiva
