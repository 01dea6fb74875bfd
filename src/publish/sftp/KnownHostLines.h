#pragma once

#include <QByteArray>
#include <QString>

namespace Kakiva {

// What a known-hosts text says about the key a server showed.
enum class KnownHostMatch
{
    Unknown,   // no line for the host
    Known,     // a line for the host holds this very key
    Changed,   // lines for the host hold another key of the same type, none this one
    OtherType, // lines for the host hold keys of other types only
};

// Reads the known-hosts text line by line as OpenSSH writes it, reading past every line
// that cannot be read (isReadableKnownHostLine), so a damaged line never hides a key pinned
// after it. host and port are matched as the file names them: "host" for port 22,
// "[host]:port" otherwise, in clear or hashed ("|1|salt|hash"), one of a comma-separated
// list; marked lines (@revoked, @cert-authority) are no pins. keyType and keyBase64 are the
// key as a line holds it ("ssh-ed25519", "AAAA...").
KnownHostMatch matchKnownHost(const QByteArray &file, const QString &host, quint16 port,
                              const QByteArray &keyType, const QByteArray &keyBase64);

} // namespace Kakiva
