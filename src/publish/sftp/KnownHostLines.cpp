#include "publish/sftp/KnownHostLines.h"

#include "publish/sftp/SshHostKeys.h"

#include <QCryptographicHash>
#include <QList>
#include <QMessageAuthenticationCode>

namespace Kakiva {

namespace {

constexpr quint16 DefaultSshPort = 22;

// "|1|<salt>|<hash>": the name's HMAC-SHA1 under the salt, both in Base64.
bool hashedNameMatches(const QByteArray &pattern, const QByteArray &name)
{
    const QList<QByteArray> parts = pattern.split('|');
    if (parts.size() != 4 || !parts.at(0).isEmpty() || parts.at(1) != "1")
        return false;
    const QByteArray salt = QByteArray::fromBase64(parts.at(2));
    return QMessageAuthenticationCode::hash(name, salt, QCryptographicHash::Sha1) ==
           QByteArray::fromBase64(parts.at(3));
}

bool hostsMatch(const QByteArray &hosts, const QByteArray &name)
{
    if (hosts.startsWith("|1|"))
        return hashedNameMatches(hosts, name);
    const QList<QByteArray> names = hosts.split(',');
    return names.contains(name);
}

} // namespace

KnownHostMatch matchKnownHost(const QByteArray &file, const QString &host, quint16 port,
                              const QByteArray &keyType, const QByteArray &keyBase64)
{
    const QByteArray name = port == DefaultSshPort
                                ? host.toUtf8()
                                : '[' + host.toUtf8() + "]:" + QByteArray::number(port);
    bool sameType = false;
    bool otherType = false;
    for (const QByteArray &line : file.split('\n')) {
        if (!isReadableKnownHostLine(line))
            continue;
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 3 || fields.first().startsWith('#') ||
            fields.first().startsWith('@') || !hostsMatch(fields.at(0), name))
            continue;
        if (fields.at(1) != keyType) {
            otherType = true;
            continue;
        }
        if (fields.at(2) == keyBase64)
            return KnownHostMatch::Known;
        sameType = true;
    }
    if (sameType)
        return KnownHostMatch::Changed;
    return otherType ? KnownHostMatch::OtherType : KnownHostMatch::Unknown;
}

} // namespace Kakiva
