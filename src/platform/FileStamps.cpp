#include "platform/FileStamps.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace Kakiva {

namespace {

qint64 nanoseconds(const timespec &time)
{
    return qint64(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

} // namespace

std::optional<QList<StampedEntry>> listStamped(const QString &path)
{
    // Thousands of entry files are stamped before the first search can answer, so this
    // stays on the plain calls: one listing and one stat per name, relative to the open
    // directory.
    DIR *directory = ::opendir(QFile::encodeName(path).constData());
    if (!directory)
        return std::nullopt;
    const int directoryFd = ::dirfd(directory);
    QList<StampedEntry> entries;
    while (const dirent *entry = ::readdir(directory)) {
        if (entry->d_name[0] == '.')
            continue;
        struct stat status;
        if (::fstatat(directoryFd, entry->d_name, &status, 0) != 0)
            continue;
        entries.append({QFile::decodeName(entry->d_name), S_ISDIR(status.st_mode),
                        {qint64(status.st_size), nanoseconds(status.st_mtim),
                         nanoseconds(status.st_ctim)}});
    }
    ::closedir(directory);
    return entries;
}

} // namespace Kakiva
