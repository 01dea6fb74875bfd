#pragma once

#include <QString>

#include <optional>

namespace Kakiva {

// Where the control connection goes.
struct FtpServerAddress
{
    static constexpr quint16 DefaultPort = 21;

    QString host; // a host name or an IPv4/IPv6 address, without brackets
    quint16 port = DefaultPort;
};

// Reads the server setting: "host", "host:port", an IPv4 address with or without ":port",
// a bare IPv6 address ("::1") or a bracketed one with or without a port ("[::1]:2121").
// Surrounding blanks are ignored. Empty text, a bad port or a host holding blanks or control
// characters gives no address.
std::optional<FtpServerAddress> parseFtpServerAddress(const QString &server);

} // namespace Kakiva
