#pragma once

#include "publish/ftp/FtpStatus.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QString>

#include <atomic>
#include <chrono>
#include <functional>

class QSslSocket;
class QTcpSocket;

namespace Kakiva {

// What may end a wait early: its deadline, the caller's cancel flag and, for a wait that
// watches something besides its own socket, a condition asked once per slice.
struct FtpWaitLimits
{
    QDeadlineTimer deadline;
    const std::atomic_bool *cancel = nullptr;
    std::function<bool()> interrupted;

    bool cancelled() const { return cancel != nullptr && cancel->load(); }
    bool isInterrupted() const { return interrupted && interrupted(); }
};

// The caller's settings for every wait of a session: each wait gets the whole time-out
// from the moment it starts.
struct FtpWaitSettings
{
    std::chrono::milliseconds timeout{25000};
    const std::atomic_bool *cancel = nullptr;

    FtpWaitLimits fromNow() const { return {QDeadlineTimer(timeout), cancel, {}}; }
};

// The blocking socket calls run in slices of this length, so that a raised cancel flag
// is seen within one slice.
inline constexpr std::chrono::milliseconds FtpWaitSlice{50};
// One slice, or what is left of the deadline when that is shorter.
int waitSliceMs(const FtpWaitLimits &limits);

// Connects to host (a name or an address) and port. A blocking waitForConnected() gives up
// the whole attempt when its own time runs out, so it cannot be sliced; instead this runs a
// short local event loop that handles the name lookup and the connection and checks the
// limits every slice. Only events of the calling thread are processed, which is why the
// client belongs on a worker thread of its own.
FtpStatus connectSocket(QTcpSocket &socket, const QString &host, quint16 port,
                        const FtpWaitLimits &limits);
FtpStatus connectSocket(QTcpSocket &socket, const QHostAddress &address, quint16 port,
                        const FtpWaitLimits &limits);

// Waits until more bytes have arrived.
FtpStatus waitForReadable(QTcpSocket &socket, const FtpWaitLimits &limits);

// Waits until everything written so far has been handed to the network.
FtpStatus waitForWritten(QTcpSocket &socket, const FtpWaitLimits &limits);

// One slice of sending: Ok when bytes left, Pending when none did in this slice.
FtpStatus writeSlice(QTcpSocket &socket, const FtpWaitLimits &limits);

// Waits until the TLS handshake that startClientEncryption() began has finished.
FtpStatus waitForEncrypted(QSslSocket &socket, const FtpWaitLimits &limits);

// Ends the sending direction only (the end of a file in stream mode) and keeps the connection
// open for reading, so that the peer resetting it afterwards can still be seen. Qt closes the
// whole socket on disconnect, hence the system call. False when the connection is gone.
bool finishSending(QTcpSocket &socket);

// True when the peer has reset the connection, which it does when it closes with our data
// unread. Reports a reset once: the system clears the error as it tells it.
bool wasResetByPeer(QTcpSocket &socket);

} // namespace Kakiva
