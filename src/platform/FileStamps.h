#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace Kakiva {

// What tells one version of a file from another without reading it: its size, the time
// of its last write and the time its inode last changed (which a restore or a copy that
// sets the write time back cannot set back). Times in nanoseconds.
struct FileStamp
{
    qint64 size = 0;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;

    friend bool operator==(const FileStamp &, const FileStamp &) = default;
};

struct StampedEntry
{
    QString name;
    bool isDirectory = false;
    FileStamp stamp;
};

// The files and subdirectories of one directory with their stamps, in no particular
// order; hidden entries and those that vanish while being listed are left out. Nothing
// when the directory cannot be read.
std::optional<QList<StampedEntry>> listStamped(const QString &path);

} // namespace Kakiva
