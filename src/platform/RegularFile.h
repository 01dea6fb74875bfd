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

} // namespace Kakiva
