#pragma once

#include "publish/sftp/SshWait.h"

#include <QString>

namespace Kakiva {

// The TCP connection an SSH session runs on, opened here rather than by the SSH library so
// that the name lookup and the connection can be abandoned and a failure to reach the host
// is told apart from a failed handshake.
struct SshSocket
{
    enum class Failure
    {
        None,
        NotOpened, // the host was not found, or no address accepted the connection
        TimedOut,
        Cancelled
    };
    int fd = -1; // owned by whoever takes it; -1 on failure
    Failure failure = Failure::None;
    QString error; // why it failed, for the log
};

// Looks host up and connects to each of its addresses in turn until one accepts.
SshSocket openSshSocket(const QString &host, quint16 port, SshWait &wait);

} // namespace Kakiva
