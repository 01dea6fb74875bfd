#include "publish/FtpServerAddress.h"

#include "publish/FtpText.h"

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

std::optional<FtpServerAddress> withPort(const QString &host, const QString &portText)
{
    const auto port = portFromDigits(portText);
    if (!port || !isPlainHost(host))
        return std::nullopt;
    return FtpServerAddress{host, *port};
}

std::optional<FtpServerAddress> parseBracketed(const QString &text)
{
    const qsizetype close = text.indexOf(QLatin1Char(']'));
    if (close < 0)
        return std::nullopt;
    const QString host = text.mid(1, close - 1);
    const QString rest = text.mid(close + 1);
    if (!isIpv6(host))
        return std::nullopt;
    if (rest.isEmpty())
        return FtpServerAddress{host, FtpServerAddress::DefaultPort};
    if (!rest.startsWith(QLatin1Char(':')))
        return std::nullopt;
    return withPort(host, rest.mid(1));
}

} // namespace

std::optional<FtpServerAddress> parseFtpServerAddress(const QString &server)
{
    const QString text = server.trimmed();
    if (text.startsWith(QLatin1Char('[')))
        return parseBracketed(text);
    const qsizetype colons = text.count(QLatin1Char(':'));
    if (colons == 1) {
        const qsizetype colon = text.indexOf(QLatin1Char(':'));
        return withPort(text.left(colon), text.mid(colon + 1));
    }
    if (colons > 1 && !isIpv6(text))
        return std::nullopt;
    if (!isPlainHost(text))
        return std::nullopt;
    return FtpServerAddress{text, FtpServerAddress::DefaultPort};
}

} // namespace Kakiva
