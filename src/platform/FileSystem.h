#pragma once

#include <QList>
#include <QString>

namespace Kakiva {

bool FolderExists(const QString &path);

// Creates a directory path and all its missing parents: nonzero when it exists afterwards.
// On failure *error names the path and the operating system's reason.
qint32 DirMake(const QString &path, QString *error = nullptr);

struct DirEntry
{
    QString name;
    bool isDirectory = false;
};

// The entries of one directory as the pages list them: "." and ".." first, then files
// and subdirectories in ascending order of name with letter case ignored. Hidden
// entries (names starting with '.') are left out. A directory that cannot be read
// yields an empty list and *error is set.
QList<DirEntry> listDirectory(const QString &path, QString *error = nullptr);

} // namespace Kakiva
