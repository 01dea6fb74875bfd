#pragma once

#include <QString>

#include <functional>

namespace Kakiva {

// What the user is asked before an unknown or changed host key is trusted.
struct HostKeyQuestion
{
    QString host;
    quint16 port = 0;
    QString keyType;      // "ssh-ed25519", "ecdsa-sha2-nistp256", "ssh-rsa"...
    QString fingerprint;  // "SHA256:" and the unpadded Base64 of the key's SHA-256 hash
    bool changed = false; // the host is known with another key: a possible attack
};

// Answers a question: true trusts the key. Called on the thread that connects, with the
// connection held open until it returns.
using HostKeyTrust = std::function<bool(const HostKeyQuestion &)>;

} // namespace Kakiva
