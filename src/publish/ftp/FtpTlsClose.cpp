#include "publish/ftp/FtpTlsClose.h"

#include <QObject>
#include <QSslSocket>

#include <optional>

#ifndef Q_OS_WIN
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace Kakiva {

namespace {

constexpr char AlertRecord = 21;
constexpr char ApplicationDataRecord = 23;
constexpr qsizetype RecordHeader = 5;
// Under TLS 1.3 the alert (2 bytes) and its true record type (1) under a 16-byte tag: unlike a
// session ticket, which may also come late, disguised the same way.
constexpr qsizetype Tls13CloseAlertLength = 2 + 1 + 16;
// A close alert is a few dozen bytes; a server that sends more after our end is not ending.
constexpr qsizetype MaxTrailingBytes = 16 * 1024;

bool flush(QSslSocket &socket, const FtpWaitLimits &limits)
{
    while (socket.bytesToWrite() > 0 || socket.encryptedBytesToWrite() > 0) {
        const FtpStatus step = writeSlice(socket, limits);
        if (step != FtpStatus::Ok && step != FtpStatus::Pending)
            return false;
    }
    return true;
}

#ifndef Q_OS_WIN
// Qt's close gives up the connection at once, so the server's answer to our close alert is
// read from a second descriptor of the same connection: its records, then its end.
TlsDataEnd awaitServerEnd(int descriptor, bool tls13, const FtpWaitLimits &limits)
{
    ::shutdown(descriptor, SHUT_WR);
    QByteArray trailing;
    for (;;) {
        if (limits.cancelled() || limits.deadline.hasExpired())
            return TlsDataEnd::Unfinished;
        pollfd entry{descriptor, POLLIN, 0};
        if (::poll(&entry, 1, waitSliceMs(limits)) <= 0)
            continue;
        char buffer[4096];
        const ssize_t got = ::recv(descriptor, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got > 0) {
            trailing.append(buffer, got);
            if (trailing.size() > MaxTrailingBytes)
                return TlsDataEnd::NoCloseAlert;
        } else if (got == 0) {
            return endsWithCloseAlert(trailing, tls13) ? TlsDataEnd::Clean
                                                       : TlsDataEnd::NoCloseAlert;
        } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            return errno == ECONNRESET ? TlsDataEnd::Reset : TlsDataEnd::Unfinished;
        }
    }
}
#endif

} // namespace

bool endsWithCloseAlert(const QByteArray &records, bool tls13)
{
    std::optional<char> lastType;
    qsizetype lastLength = 0;
    qsizetype at = 0;
    while (records.size() - at >= RecordHeader) {
        lastLength = (qsizetype(uchar(records.at(at + 3))) << 8) | uchar(records.at(at + 4));
        if (records.size() - at - RecordHeader < lastLength)
            return false; // cut short
        lastType = records.at(at);
        at += RecordHeader + lastLength;
    }
    if (at != records.size())
        return false;
    return tls13 ? lastType == ApplicationDataRecord && lastLength == Tls13CloseAlertLength
                 : lastType == AlertRecord;
}

TlsDataEnd closeTls(QSslSocket &socket, const FtpWaitLimits &limits)
{
    if (!flush(socket, limits))
        return TlsDataEnd::Unfinished;
    // A server that ends before our close has not seen the end of the file.
    bool endedFirst = false;
    QObject watch;
    QObject::connect(&socket, &QSslSocket::alertReceived, &watch,
                     [&](QSsl::AlertLevel, QSsl::AlertType type, const QString &) {
                         endedFirst = endedFirst || type == QSsl::AlertType::CloseNotify;
                     });
    socket.waitForReadyRead(0);
    socket.readAll();
    if (endedFirst || socket.state() != QAbstractSocket::ConnectedState)
        return TlsDataEnd::NoCloseAlert;
#ifndef Q_OS_WIN
    const bool tls13 = socket.sessionProtocol() == QSsl::TlsV1_3;
    const int spare = ::dup(static_cast<int>(socket.socketDescriptor()));
    if (spare < 0)
        return TlsDataEnd::Unfinished;
#endif
    socket.disconnectFromHost();
    while (socket.state() != QAbstractSocket::UnconnectedState) {
        if (limits.cancelled() || limits.deadline.hasExpired())
            break;
        socket.waitForDisconnected(waitSliceMs(limits));
    }
#ifdef Q_OS_WIN
    // No second handle here: the server's end cannot be watched once Qt has closed.
    return socket.state() == QAbstractSocket::UnconnectedState ? TlsDataEnd::Clean
                                                               : TlsDataEnd::Unfinished;
#else
    const TlsDataEnd end = socket.state() == QAbstractSocket::UnconnectedState
                               ? awaitServerEnd(spare, tls13, limits)
                               : TlsDataEnd::Unfinished;
    ::close(spare);
    return end;
#endif
}

} // namespace Kakiva
