#pragma once

#include <QByteArray>
#include <QList>

#include <optional>

namespace Kakiva {

// One complete server reply: its three-digit code and its text lines without line ends
// (a multi-line reply keeps every line, the first and the closing one included).
struct FtpReply
{
    int code = 0;
    QList<QByteArray> lines;

    int digit() const { return code / 100; }
    bool isPreliminary() const { return digit() == 1; }
    bool isSuccess() const { return digit() == 2; }
    bool isRefusal() const { return digit() == 4 || digit() == 5; }
    // The server is ending the session; nothing more comes on this connection.
    bool isServiceClosing() const { return code == 421; }
};

// The port of an extended passive reply, "229 ... (|||port|)".
std::optional<quint16> extendedPassivePort(const FtpReply &reply);

// The port of a passive reply, "227 ... (h1,h2,h3,h4,p1,p2)". The host numbers are checked for
// form but never used: the data connection always goes to the control connection's peer, so a
// server cannot send us to a third machine.
std::optional<quint16> passivePort(const FtpReply &reply);

// The size a "213 1234" reply to SIZE gives.
std::optional<qint64> sizeIn(const FtpReply &reply);

} // namespace Kakiva
