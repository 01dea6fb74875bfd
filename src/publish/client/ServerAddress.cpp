#include "publish/client/ServerAddress.h"

#include "publish/client/WireText.h"

#include <QHostAddress>

#include <algorithm>

namespace Kakiva {

namespace {

bool isPlainHost(const QString &host)
{
    return !host.isEmpty() && isSendable(host) &&
           std::none_of(host.begin(), host.end(), [](QChar c) {
               return c.isSpace() || c == QLatin1Char('[') || c == QLatin1Char(']') ||
                      c == QLatin1Char('/');
           });
}

bool isIpv6(const QString &host)
{
    return QHostAddress(host).protocol() == QAbstractSocket::IPv6Protocol;
}

std::optional<ServerAddress> withPort(const QString &host, const QString &portText)
{
    const auto port = portFromDigits(portText);
    if (!port || !isPlainHost(host))
        return std::nullopt;
    return ServerAddress{host, *port, FtpSecurity::Plain};
}

std::optional<ServerAddress> parseBracketed(const QString &text, quint16 defaultPort)
{
    const qsizetype close = text.indexOf(QLatin1Char(']'));
    if (close < 0)
        return std::nullopt;
    const QString host = text.mid(1, close - 1);
    const QString rest = text.mid(close + 1);
    if (!isIpv6(host))
        return std::nullopt;
    if (rest.isEmpty())
        return ServerAddress{host, defaultPort, FtpSecurity::Plain};
    if (!rest.startsWith(QLatin1Char(':')))
        return std::nullopt;
    return withPort(host, rest.mid(1));
}

std::optional<ServerAddress> parseHostAndPort(const QString &text, quint16 defaultPort)
{
    if (text.startsWith(QLatin1Char('[')))
        return parseBracketed(text, defaultPort);
    const qsizetype colons = text.count(QLatin1Char(':'));
    if (colons == 1) {
        const qsizetype colon = text.indexOf(QLatin1Char(':'));
        return withPort(text.left(colon), text.mid(colon + 1));
    }
    if (colons > 1 && !isIpv6(text))
        return std::nullopt;
    if (!isPlainHost(text))
        return std::nullopt;
    return ServerAddress{text, defaultPort, FtpSecurity::Plain};
}

} // namespace

QString ServerAddress::hostAndPort() const
{
    const QString shown = host.contains(QLatin1Char(':')) ? '[' + host + ']' : host;
    return shown + QLatin1Char(':') + QString::number(port);
}

std::optional<ServerAddress> parseFtpServerAddress(const QString &server)
{
    static const struct
    {
        QLatin1StringView scheme;
        FtpSecurity security;
        quint16 defaultPort;
    } schemes[] = {
        {QLatin1StringView("ftpes://"), FtpSecurity::Explicit, ServerAddress::DefaultPort},
        {QLatin1StringView("ftps://"), FtpSecurity::Implicit,
         ServerAddress::DefaultImplicitTlsPort}};
    QString text = server.trimmed();
    for (const auto &scheme : schemes) {
        if (!text.startsWith(scheme.scheme, Qt::CaseInsensitive))
            continue;
        text = text.mid(scheme.scheme.size());
        if (text.endsWith(QLatin1Char('/')))
            text.chop(1);
        auto address = parseHostAndPort(text, scheme.defaultPort);
        if (address)
            address->security = scheme.security;
        return address;
    }
    return parseHostAndPort(text, ServerAddress::DefaultPort);
}

} // namespace Kakiva
