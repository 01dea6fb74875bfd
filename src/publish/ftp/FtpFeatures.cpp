#include "publish/ftp/FtpFeatures.h"

#include <cctype>

namespace Kakiva {

namespace {

constexpr qsizetype Sha256Length = 32;

} // namespace

FtpFeatures parseFeatures(const FtpReply &reply)
{
    FtpFeatures features;
    if (!reply.isSuccess())
        return features;
    // The first and the last lines are the reply's own; each feature stands on a line between.
    for (qsizetype i = 1; i + 1 < reply.lines.size(); ++i) {
        const QByteArray line = reply.lines.at(i).trimmed();
        const qsizetype space = line.indexOf(' ');
        const QByteArray name = (space < 0 ? line : line.left(space)).toUpper();
        const QByteArray arguments = space < 0 ? QByteArray() : line.mid(space + 1).toUpper();
        if (name == "MLST" || name == "MLSD") {
            features.mlsd = true;
        } else if (name == "HASH") {
            for (const QByteArray &algorithm : arguments.split(';')) {
                if (algorithm == "SHA-256" || algorithm == "SHA-256*") {
                    features.hashSha256 = true;
                    features.sha256Chosen = algorithm.endsWith('*');
                }
            }
        }
    }
    return features;
}

QByteArray parseHashReply(const FtpReply &reply)
{
    if (reply.code != 213 || reply.lines.size() != 1)
        return {};
    const QList<QByteArray> words = reply.lines.constFirst().mid(4).split(' ');
    if (words.size() < 4 || words.at(0).toUpper() != "SHA-256")
        return {};
    const QByteArray &range = words.at(1);
    if (!range.startsWith("0-"))
        return {};
    const QByteArray hex = words.at(2);
    if (hex.size() != 2 * Sha256Length)
        return {};
    for (const char c : hex) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return {};
    }
    return QByteArray::fromHex(hex);
}

} // namespace Kakiva
