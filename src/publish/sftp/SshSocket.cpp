#include "publish/sftp/SshSocket.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QHostInfo>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace Kakiva {

namespace {

using Outcome = SshWait::Outcome;

SshSocket failed(SshSocket::Failure failure, const QString &error)
{
    return SshSocket{-1, failure, error};
}

SshSocket::Failure failureOf(Outcome outcome)
{
    return outcome == Outcome::Cancelled ? SshSocket::Failure::Cancelled
                                         : SshSocket::Failure::TimedOut;
}

// The lookup runs in a local event loop that looks at the wait every slice.
std::optional<QHostInfo> lookUp(const QString &host, SshWait &wait)
{
    std::optional<QHostInfo> found;
    QEventLoop loop;
    QTimer slice;
    slice.setInterval(SshWait::Slice);
    QObject::connect(&slice, &QTimer::timeout, &loop, [&] {
        if (wait.state() != Outcome::Go)
            loop.quit();
    });
    const int id = QHostInfo::lookupHost(host, &loop, [&](const QHostInfo &info) {
        found = info;
        loop.quit();
    });
    slice.start();
    loop.exec();
    if (!found)
        QHostInfo::abortHostLookup(id);
    return found;
}

struct Attempt
{
    int fd = -1;
    Outcome outcome = Outcome::Go;
    QString error;
};

Attempt connectTo(const QHostAddress &address, quint16 port, SshWait &wait)
{
    sockaddr_storage storage{};
    socklen_t length = 0;
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        auto *in6 = reinterpret_cast<sockaddr_in6 *>(&storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port);
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(&in6->sin6_addr, &bytes, sizeof bytes);
        length = sizeof *in6;
    } else {
        auto *in4 = reinterpret_cast<sockaddr_in *>(&storage);
        in4->sin_family = AF_INET;
        in4->sin_port = htons(port);
        in4->sin_addr.s_addr = htonl(address.toIPv4Address());
        length = sizeof *in4;
    }
    Attempt attempt;
    attempt.fd = ::socket(storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (attempt.fd < 0) {
        attempt.error = QString::fromLocal8Bit(std::strerror(errno));
        return attempt;
    }
    int rc = ::connect(attempt.fd, reinterpret_cast<sockaddr *>(&storage), length);
    int error = rc == 0 ? 0 : errno;
    while (error == EINPROGRESS) {
        attempt.outcome = wait.forSocket(attempt.fd, POLLOUT);
        if (attempt.outcome != Outcome::Go)
            break;
        pollfd entry{attempt.fd, POLLOUT, 0};
        if (::poll(&entry, 1, 0) == 1) {
            socklen_t size = sizeof error;
            ::getsockopt(attempt.fd, SOL_SOCKET, SO_ERROR, &error, &size);
        }
    }
    if (error == 0 && attempt.outcome == Outcome::Go) {
        // Requests are small and each waits for its answer: holding one back until the
        // previous segment is acknowledged would add the peer's delayed ACK to every wait.
        const int on = 1;
        ::setsockopt(attempt.fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    if (error != 0 || attempt.outcome != Outcome::Go) {
        if (error != 0 && error != EINPROGRESS)
            attempt.error = QString::fromLocal8Bit(std::strerror(error));
        ::close(attempt.fd);
        attempt.fd = -1;
    }
    return attempt;
}

} // namespace

SshSocket openSshSocket(const QString &host, quint16 port, SshWait &wait)
{
    QList<QHostAddress> addresses;
    const QHostAddress literal(host);
    if (!literal.isNull()) {
        addresses.append(literal);
    } else {
        const auto info = lookUp(host, wait);
        if (!info)
            return failed(failureOf(wait.state()), QStringLiteral("name lookup abandoned"));
        if (info->error() != QHostInfo::NoError || info->addresses().isEmpty())
            return failed(SshSocket::Failure::NotOpened, info->errorString());
        addresses = info->addresses();
    }
    QString lastError;
    for (const QHostAddress &address : addresses) {
        const Attempt attempt = connectTo(address, port, wait);
        if (attempt.fd >= 0)
            return SshSocket{attempt.fd, SshSocket::Failure::None, {}};
        if (attempt.outcome != Outcome::Go)
            return failed(failureOf(attempt.outcome), QStringLiteral("connection abandoned"));
        lastError = attempt.error;
    }
    return failed(SshSocket::Failure::NotOpened, lastError);
}

} // namespace Kakiva
