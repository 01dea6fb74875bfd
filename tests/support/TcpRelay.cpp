#include "TcpRelay.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <deque>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int PollSliceMs = 20;

struct Chunk
{
    std::vector<char> bytes;
    Clock::time_point due;
};

int connectToLoopback(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0)
        return fd;
    if (fd >= 0)
        ::close(fd);
    return -1;
}

void noDelay(int fd)
{
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

bool sendAll(int fd, const std::vector<char> &bytes)
{
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += size_t(n);
    }
    return true;
}

// Sends every chunk whose time has come; false when the peer is gone.
bool sendDue(int fd, std::deque<Chunk> &queue)
{
    while (!queue.empty() && queue.front().due <= Clock::now()) {
        if (!sendAll(fd, queue.front().bytes))
            return false;
        queue.pop_front();
    }
    return true;
}

// Until the next chunk falls due, at most one slice.
int waitMs(const std::deque<Chunk> &a, const std::deque<Chunk> &b)
{
    auto next = Clock::now() + std::chrono::milliseconds(PollSliceMs);
    for (const auto *queue : {&a, &b}) {
        if (!queue->empty())
            next = std::min(next, queue->front().due);
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now());
    return int(std::max<qint64>(0, left.count()));
}

} // namespace

TcpRelay::TcpRelay(quint16 targetPort, std::chrono::milliseconds delayEachWay)
    : m_targetPort(targetPort), m_delay(delayEachWay)
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr *>(&address), length) != 0 ||
        ::listen(m_listener, 4) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        if (m_listener >= 0)
            ::close(m_listener);
        m_listener = -1;
        return;
    }
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { serve(); });
}

TcpRelay::~TcpRelay()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_listener >= 0)
        ::close(m_listener);
}

void TcpRelay::serve()
{
    while (!m_stop) {
        pollfd entry{m_listener, POLLIN, 0};
        if (::poll(&entry, 1, PollSliceMs) != 1)
            continue;
        const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        const int server = connectToLoopback(m_targetPort);
        if (server >= 0)
            relay(client, server);
        ::close(client);
        if (server >= 0)
            ::close(server);
    }
}

void TcpRelay::relay(int client, int server)
{
    noDelay(client);
    noDelay(server);
    std::deque<Chunk> toServer;
    std::deque<Chunk> toClient;
    m_holding = false;
    std::vector<char> buffer(64 * 1024);
    while (!m_stop) {
        const qint64 limit = m_holdAfter;
        const qint64 allowed = limit < 0
                                   ? qint64(buffer.size())
                                   : std::min<qint64>(qint64(buffer.size()), limit - m_fromClients);
        m_holding = allowed <= 0;
        pollfd entries[2] = {{client, short(allowed > 0 ? POLLIN : 0), 0}, {server, POLLIN, 0}};
        ::poll(entries, 2, waitMs(toServer, toClient));
        for (int side = 0; side < 2; ++side) {
            if (!(entries[side].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            const size_t wanted = side == 0 ? size_t(allowed) : buffer.size();
            const ssize_t n = ::recv(entries[side].fd, buffer.data(), wanted, 0);
            if (n <= 0)
                return; // either side gone: end both
            (side == 0 ? m_fromClients : m_toClients) += n;
            (side == 0 ? toServer : toClient)
                .push_back({std::vector<char>(buffer.begin(), buffer.begin() + n),
                            Clock::now() + m_delay});
        }
        if (!sendDue(server, toServer) || !sendDue(client, toClient))
            return;
    }
}
