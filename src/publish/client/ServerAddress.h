#pragma once

#include <QString>

#include <optional>

namespace Kakiva {

// How the control connection is protected.
enum class FtpSecurity
{
    Plain,    // no TLS at all
    Explicit, // plain at first, then AUTH TLS before anything else is sent
    Implicit, // TLS from the first byte
};

// Where the control connection goes.
struct ServerAddress
{
    static constexpr quint16 DefaultPort = 21;
    static constexpr quint16 DefaultImplicitTlsPort = 990;

    QString host; // a host name or an IPv4/IPv6 address, without brackets
    quint16 port = DefaultPort;
    FtpSecurity security = FtpSecurity::Plain;

    // "host:port", "[::1]:port" for IPv6: names the server in logs, questions and pins.
    QString hostAndPort() const;
};

// Reads the server setting: "host", "host:port", an IPv4 address with or without ":port",
// a bare IPv6 address ("::1") or a bracketed one with or without a port ("[::1]:2121").
// "ftpes://" before any of them asks for explicit TLS (port 21 unless given), "ftps://" for
// implicit TLS (port 990 unless given); both are read without regard to case, and a "/"
// after the host is allowed. Surrounding blanks are ignored. Empty text, a bad port or a
// host holding blanks or control characters gives no address.
std::optional<ServerAddress> parseFtpServerAddress(const QString &server);

} // namespace Kakiva
