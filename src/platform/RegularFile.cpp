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

namespace {

RegularRead readFailure(int code, QString *reason)
{
    *reason = QString::fromLocal8Bit(std::strerror(code));
    return code == ENOENT || code == ENOTDIR ? RegularRead::Missing : RegularRead::Failed;
}

bool readToEnd(int fd, qint64 expected, QByteArray *bytes)
{
    bytes->resize(qsizetype(expected) + 1); // one more, to meet the end in the same read
    qsizetype done = 0;
    for (;;) {
        if (done == bytes->size())
            bytes->resize(bytes->size() * 2);
        const ssize_t read = ::read(fd, bytes->data() + done, size_t(bytes->size() - done));
        if (read < 0 && errno == EINTR)
            continue;
        if (read < 0)
            return false;
        if (read == 0)
            break;
        done += read;
    }
    bytes->resize(done);
    return true;
}

} // namespace

RegularRead readRegularFileWhole(const QString &path, QByteArray *bytes, qint64 *modified,
                                 QString *reason)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info = {};
    if (::stat(name.constData(), &info) != 0)
        return readFailure(errno, reason);
    if (!S_ISREG(info.st_mode)) {
        *reason = QStringLiteral("not a regular file");
        return RegularRead::NotRegular;
    }
    // Without waiting, in case a pipe took the file's place since the look above.
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return readFailure(errno, reason);
    RegularRead result = RegularRead::Done;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        *reason = QStringLiteral("not a regular file");
        result = RegularRead::NotRegular;
    } else if (!readToEnd(fd, info.st_size, bytes)) {
        *reason = QString::fromLocal8Bit(std::strerror(errno));
        result = RegularRead::Failed;
    }
    ::close(fd);
    *modified = info.st_mtim.tv_sec;
    return result;
}

} // namespace Kakiva
