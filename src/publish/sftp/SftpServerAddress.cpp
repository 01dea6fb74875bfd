#include "publish/sftp/SftpServerAddress.h"

namespace Kakiva {

namespace {

constexpr QLatin1StringView Scheme{"sftp://"};

bool hasExplicitPort(const QString &hostAndPort)
{
    if (hostAndPort.startsWith(QLatin1Char('[')))
        return hostAndPort.contains(QLatin1String("]:"));
    return hostAndPort.count(QLatin1Char(':')) == 1;
}

} // namespace

bool isSftpServer(const QString &server)
{
    return server.trimmed().startsWith(Scheme, Qt::CaseInsensitive);
}

std::optional<ServerAddress> parseSftpServerAddress(const QString &server)
{
    if (!isSftpServer(server))
        return std::nullopt;
    QString rest = server.trimmed().mid(Scheme.size());
    if (rest.endsWith(QLatin1Char('/')))
        rest.chop(1);
    auto address = parseFtpServerAddress(rest);
    if (address && !hasExplicitPort(rest))
        address->port = SftpDefaultPort;
    return address;
}

} // namespace Kakiva
