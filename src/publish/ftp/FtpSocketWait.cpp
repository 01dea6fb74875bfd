#include "publish/ftp/FtpSocketWait.h"

#include <QEventLoop>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>

#include <functional>
#include <optional>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <sys/socket.h>

#include <cerrno>
#endif

namespace Kakiva {

namespace {

bool isConnecting(const QTcpSocket &socket)
{
    return socket.state() == QAbstractSocket::HostLookupState ||
           socket.state() == QAbstractSocket::ConnectingState;
}

// Checks that end a wait before the next slice starts.
std::optional<FtpStatus> stopReason(const QTcpSocket &socket, const FtpWaitLimits &limits)
{
    if (limits.cancelled())
        return FtpStatus::Cancelled;
    if (limits.isInterrupted())
        return FtpStatus::Interrupted;
    if (socket.state() != QAbstractSocket::ConnectedState)
        return FtpStatus::Failed;
    if (limits.deadline.hasExpired())
        return FtpStatus::TimedOut;
    return std::nullopt;
}

FtpStatus connectWith(QTcpSocket &socket, const std::function<void()> &start,
                      const FtpWaitLimits &limits)
{
    QEventLoop loop;
    QTimer tick;
    tick.setInterval(FtpWaitSlice);
    QObject::connect(&socket, &QAbstractSocket::connected, &loop, &QEventLoop::quit);
    QObject::connect(&socket, &QAbstractSocket::errorOccurred, &loop, &QEventLoop::quit);
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (limits.cancelled() || limits.deadline.hasExpired() || !isConnecting(socket))
            loop.quit();
    });
    tick.start();
    start();
    // What start() signalled came before the loop ran: look at the state instead.
    if (isConnecting(socket) && !limits.cancelled() && !limits.deadline.hasExpired())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    socket.disconnect(&loop);

    if (socket.state() == QAbstractSocket::ConnectedState)
        return FtpStatus::Ok;
    const bool stillTrying = isConnecting(socket);
    if (stillTrying)
        socket.abort();
    if (limits.cancelled())
        return FtpStatus::Cancelled;
    if (stillTrying || socket.error() == QAbstractSocket::SocketTimeoutError)
        return FtpStatus::TimedOut;
    return FtpStatus::Failed;
}

} // namespace

int waitSliceMs(const FtpWaitLimits &limits)
{
    const qint64 slice = FtpWaitSlice.count();
    const qint64 remaining = limits.deadline.remainingTime(); // -1 when it never expires
    return static_cast<int>(remaining < 0 ? slice : qBound<qint64>(1, remaining, slice));
}

FtpStatus connectSocket(QTcpSocket &socket, const QString &host, quint16 port,
                        const FtpWaitLimits &limits)
{
    return connectWith(
        socket, [&] { socket.connectToHost(host, port); }, limits);
}

FtpStatus connectSocket(QTcpSocket &socket, const QHostAddress &address, quint16 port,
                        const FtpWaitLimits &limits)
{
    return connectWith(
        socket, [&] { socket.connectToHost(address, port); }, limits);
}

FtpStatus waitForReadable(QTcpSocket &socket, const FtpWaitLimits &limits)
{
    for (;;) {
        if (const auto stop = stopReason(socket, limits))
            return *stop;
        if (socket.waitForReadyRead(waitSliceMs(limits)))
            return FtpStatus::Ok;
    }
}

FtpStatus waitForWritten(QTcpSocket &socket, const FtpWaitLimits &limits)
{
    while (socket.bytesToWrite() > 0) {
        const FtpStatus step = writeSlice(socket, limits);
        if (step != FtpStatus::Ok && step != FtpStatus::Pending)
            return step;
    }
    // A socket that failed has dropped its unsent bytes too.
    return socket.state() == QAbstractSocket::ConnectedState ? FtpStatus::Ok : FtpStatus::Failed;
}

FtpStatus writeSlice(QTcpSocket &socket, const FtpWaitLimits &limits)
{
    if (const auto stop = stopReason(socket, limits))
        return *stop;
    if (socket.waitForBytesWritten(waitSliceMs(limits)))
        return FtpStatus::Ok;
    return socket.state() == QAbstractSocket::ConnectedState ? FtpStatus::Pending
                                                             : FtpStatus::Failed;
}

FtpStatus waitForEncrypted(QSslSocket &socket, const FtpWaitLimits &limits)
{
    for (;;) {
        if (socket.isEncrypted())
            return FtpStatus::Ok;
        if (const auto stop = stopReason(socket, limits))
            return *stop;
        socket.waitForEncrypted(waitSliceMs(limits));
    }
}

bool finishSending(QTcpSocket &socket)
{
    if (socket.state() != QAbstractSocket::ConnectedState)
        return false;
#ifdef Q_OS_WIN
    return ::shutdown(static_cast<SOCKET>(socket.socketDescriptor()), SD_SEND) == 0;
#else
    return ::shutdown(static_cast<int>(socket.socketDescriptor()), SHUT_WR) == 0;
#endif
}

bool wasResetByPeer(QTcpSocket &socket)
{
    const qintptr descriptor = socket.socketDescriptor();
    if (descriptor == -1)
        return false;
    char byte = 0;
#ifdef Q_OS_WIN
    // Qt's sockets are non-blocking, so the peek returns at once.
    return ::recv(static_cast<SOCKET>(descriptor), &byte, 1, MSG_PEEK) == SOCKET_ERROR &&
           ::WSAGetLastError() == WSAECONNRESET;
#else
    return ::recv(static_cast<int>(descriptor), &byte, 1, MSG_PEEK | MSG_DONTWAIT) < 0 &&
           errno == ECONNRESET;
#endif
}

} // namespace Kakiva
