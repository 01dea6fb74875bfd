#include "platform/LocalBell.h"

#include <QDir>
#include <QFile>
#include <QSocketNotifier>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace Kakiva {

namespace {

QByteArray socketPath(const QString &name)
{
    return QFile::encodeName(QDir(QDir::tempPath()).filePath(name));
}

// False when the path does not fit in the address.
bool addressOf(const QByteArray &path, sockaddr_un &address)
{
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.size() >= qsizetype(sizeof address.sun_path))
        return false;
    std::memcpy(address.sun_path, path.constData(), path.size());
    return true;
}

// Reads until `expected` bytes came, the peer closed, or the time ran out.
QByteArray readAnswer(int socket, qsizetype expected, int waitMs)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    QByteArray answer;
    while (answer.size() < expected) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd wait{socket, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&wait, 1, int(left.count())) <= 0)
            break;
        char bytes[64];
        const ssize_t got = ::read(socket, bytes, sizeof bytes);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        answer.append(bytes, got);
    }
    return answer;
}

} // namespace

LocalBell::LocalBell(const QString &name, QByteArray reply, QObject *parent)
    : QObject(parent), m_path(socketPath(name)), m_reply(std::move(reply))
{
}

LocalBell::~LocalBell()
{
    if (m_socket < 0)
        return;
    ::close(m_socket);
    ::unlink(m_path.constData());
}

bool LocalBell::listen()
{
    sockaddr_un address;
    if (m_socket >= 0 || !addressOf(m_path, address))
        return false;
    const int listening = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listening < 0)
        return false;
    ::unlink(m_path.constData());
    // Made with no access for others from the start, then opened to the user alone.
    const mode_t oldMask = ::umask(0077);
    const bool bound =
        ::bind(listening, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    ::umask(oldMask);
    if (!bound || ::listen(listening, 8) != 0) {
        ::close(listening);
        return false;
    }
    m_socket = listening;
    m_notifier = new QSocketNotifier(m_socket, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &LocalBell::answer);
    return true;
}

void LocalBell::answer()
{
    for (;;) {
        const int peer = ::accept4(m_socket, nullptr, nullptr, SOCK_CLOEXEC);
        if (peer < 0)
            return;
        emit rung();
        // A few bytes into an empty socket buffer: the write does not block.
        [[maybe_unused]] const ssize_t sent = ::write(peer, m_reply.constData(), m_reply.size());
        ::close(peer);
    }
}

bool LocalBell::ring(const QString &name, const QByteArray &reply, int waitMs)
{
    sockaddr_un address;
    if (!addressOf(socketPath(name), address))
        return false;
    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0)
        return false;
    const bool heard =
        ::connect(socket, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0 &&
        readAnswer(socket, reply.size(), waitMs) == reply;
    ::close(socket);
    return heard;
}

} // namespace Kakiva
