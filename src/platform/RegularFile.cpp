#include "platform/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace Kakiva {

namespace {

int openFlags(QIODevice::OpenMode mode)
{
    int flags = O_CLOEXEC | O_NONBLOCK;
    if (!mode.testAnyFlags(QIODevice::WriteOnly | QIODevice::Append))
        return flags | O_RDONLY;
    flags |= O_CREAT | (mode.testFlag(QIODevice::ReadOnly) ? O_RDWR : O_WRONLY);
    if (mode.testFlag(QIODevice::Append))
        flags |= O_APPEND;
    return flags;
}

FileOpen failure(FileOpen kind, const QString &text, QString *reason)
{
    if (reason)
        *reason = text;
    return kind;
}

FileOpen systemFailure(int code, QString *reason)
{
    // A path through a plain file names no file either.
    const bool missing = code == ENOENT || code == ENOTDIR;
    return failure(missing ? FileOpen::Missing : FileOpen::Failed,
                   QString::fromLocal8Bit(std::strerror(code)), reason);
}

bool isRegular(int fd)
{
    struct stat info = {};
    return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

} // namespace

FileOpen openRegularFile(QFile &file, QIODevice::OpenMode mode, QString *reason)
{
    const int fd = ::open(QFile::encodeName(file.fileName()).constData(), openFlags(mode), 0666);
    if (fd < 0)
        return systemFailure(errno, reason);
    if (!isRegular(fd)) {
        ::close(fd);
        return failure(FileOpen::Failed, QStringLiteral("not a regular file"), reason);
    }
    // Waiting is harmless on a regular file, and QFile expects blocking reads.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, mode, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return failure(FileOpen::Failed, file.errorString(), reason);
    }
    return FileOpen::Opened;
}

} // namespace Kakiva
