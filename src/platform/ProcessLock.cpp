#include "platform/ProcessLock.h"

#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace Kakiva {

namespace {

// Whether the path still names the file that was opened: a holder that ends removes the
// file, and a lock taken on the removed one would exclude nobody.
bool stillNamed(int file, const QByteArray &path)
{
    struct stat opened;
    struct stat named;
    return ::fstat(file, &opened) == 0 && ::stat(path.constData(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

} // namespace

ProcessLock::ProcessLock(const QString &path) : m_path(QFile::encodeName(path)) {}

// Removed while still held, so a later start never locks a file on its way out.
ProcessLock::~ProcessLock()
{
    if (m_file < 0)
        return;
    ::unlink(m_path.constData());
    ::close(m_file);
}

ProcessLock::Outcome ProcessLock::tryLock()
{
    if (m_file >= 0)
        return Outcome::Taken;
    for (;;) {
        const int file = ::open(m_path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (file < 0)
            return Outcome::Failed;
        if (::flock(file, LOCK_EX | LOCK_NB) != 0) {
            const bool held = errno == EWOULDBLOCK;
            ::close(file);
            return held ? Outcome::HeldElsewhere : Outcome::Failed;
        }
        if (stillNamed(file, m_path)) {
            m_file = file;
            return Outcome::Taken;
        }
        ::close(file);
    }
}

} // namespace Kakiva
