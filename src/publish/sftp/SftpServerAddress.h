#pragma once

#include "publish/client/ServerAddress.h"

#include <QString>

#include <optional>

namespace Kakiva {

inline constexpr quint16 SftpDefaultPort = 22;

// Whether the server setting names an SSH destination: it starts with "sftp://" (any case).
bool isSftpServer(const QString &server);

// Reads "sftp://host", "sftp://host:port", "sftp://[::1]:2222" and the like: after the scheme
// the setting takes the same forms as an FTP server, with port 22 when none is given. A
// trailing "/" is allowed; anything else after the host is not.
std::optional<ServerAddress> parseSftpServerAddress(const QString &server);

} // namespace Kakiva
