#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace Kakiva {

// Creates a directory path and all its missing parents: nonzero when it exists afterwards.
// On failure *error names the path and the operating system's reason.
qint32 DirMake(const QString &path, QString *error = nullptr);

struct DirEntry
{
    QString name;
    bool isDirectory = false;
};

// The files and subdirectories of one directory in ascending order of name with letter
// case ignored. Hidden entries (names starting with '.') are left out, "." and ".."
// among them. A directory that cannot be read yields nothing and *error says why.
std::optional<QList<DirEntry>> listDirectory(const QString &path, QString *error = nullptr);

// Removes a file; a file already gone counts as removed. On failure *error names the path
// and the reason.
bool removeFile(const QString &path, QString *error = nullptr);

// Removes a directory that holds nothing at all (hidden entries count); true when it is gone.
bool removeEmptyDirectory(const QString &path);

} // namespace Kakiva
