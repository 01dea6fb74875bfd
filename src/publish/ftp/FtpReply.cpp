#include "publish/ftp/FtpReply.h"

#include "publish/client/WireText.h"

#include <QRegularExpression>

namespace Kakiva {

namespace {

QByteArray firstLineText(const FtpReply &reply)
{
    return reply.lines.isEmpty() ? QByteArray() : reply.lines.first().mid(4);
}

} // namespace

std::optional<quint16> extendedPassivePort(const FtpReply &reply)
{
    if (reply.code != 229)
        return std::nullopt;
    const QByteArray text = firstLineText(reply);
    const qsizetype open = text.indexOf('(');
    if (open < 0 || open + 1 >= text.size())
        return std::nullopt;
    // "(<d><d><d><port><d>)" with any printable delimiter that is not a digit.
    const char d = text.at(open + 1);
    if (d < 33 || d > 126 || (d >= '0' && d <= '9'))
        return std::nullopt;
    const QByteArray prefix = QByteArray(3, d);
    if (text.mid(open + 1, 3) != prefix)
        return std::nullopt;
    const qsizetype start = open + 4;
    const qsizetype end = text.indexOf(d, start);
    if (end <= start || end - start > 5 || text.mid(end + 1, 1) != ")")
        return std::nullopt;
    bool ok = false;
    const uint port = text.mid(start, end - start).toUInt(&ok);
    return ok ? portFromNumber(port) : std::nullopt;
}

std::optional<quint16> passivePort(const FtpReply &reply)
{
    if (reply.code != 227)
        return std::nullopt;
    static const QRegularExpression sixNumbers(
        QStringLiteral("(\\d{1,3}),(\\d{1,3}),(\\d{1,3}),(\\d{1,3}),(\\d{1,3}),(\\d{1,3})"));
    const auto match = sixNumbers.match(QString::fromLatin1(firstLineText(reply)));
    if (!match.hasMatch())
        return std::nullopt;
    for (int i = 1; i <= 6; ++i) {
        if (match.captured(i).toUInt() > 255)
            return std::nullopt;
    }
    return portFromNumber(match.captured(5).toUInt() * 256 + match.captured(6).toUInt());
}

std::optional<qint64> sizeIn(const FtpReply &reply)
{
    if (reply.code != 213 || reply.lines.isEmpty())
        return std::nullopt;
    bool ok = false;
    const qint64 size = reply.lines.constLast().mid(4).trimmed().toLongLong(&ok);
    return ok && size >= 0 ? std::optional<qint64>(size) : std::nullopt;
}

} // namespace Kakiva
