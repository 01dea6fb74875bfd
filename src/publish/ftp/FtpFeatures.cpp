#include "publish/ftp/FtpFeatures.h"

#include <cctype>

namespace Kakiva {

namespace {

constexpr qsizetype Sha256Length = 32;

bool isSha256Hex(const QByteArray &word)
{
    if (word.size() != 2 * Sha256Length)
        return false;
    for (const char c : word) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}

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

// Servers word the answer differently: "213 SHA-256 0-512 <hex> name" (the draft's, and
// proftpd's, after lines of its own), the same without the range or the name, or the bare hex
// of the algorithm chosen.
QByteArray parseHashReply(const FtpReply &reply)
{
    if (reply.code != 213 || reply.lines.isEmpty())
        return {};
    // proftpd says first, on lines of their own, that it is computing the digest.
    QList<QByteArray> words = reply.lines.constLast().mid(4).trimmed().split(' ');
    words.removeAll(QByteArray());
    if (!words.isEmpty() && !isSha256Hex(words.constFirst())) {
        if (words.takeFirst().toUpper() != "SHA-256")
            return {};
    }
    // A range, when given, must be the whole file's.
    if (!words.isEmpty() && !isSha256Hex(words.constFirst()) && words.constFirst().contains('-')) {
        if (!words.takeFirst().startsWith("0-"))
            return {};
    }
    if (words.isEmpty() || !isSha256Hex(words.constFirst()))
        return {};
    return QByteArray::fromHex(words.constFirst());
}

} // namespace Kakiva
