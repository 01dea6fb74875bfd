#pragma once

#include <QSslCertificate>
#include <QString>
#include <QStringList>

#include <functional>

namespace Kakiva {

// A server certificate that did not verify against the system's trust store: whoever keeps
// the pins, or the user, decides whether it is the server's own.
struct CertificateQuestion
{
    QString server; // "host:port" as connected
    QSslCertificate certificate;
    QStringList problems; // why it did not verify, as the TLS library says it
    // Another certificate had been trusted for this server before (set by whoever keeps
    // the pins).
    bool changed = false;
};

// Answers a question: true trusts the certificate.
using CertificateDecision = std::function<bool(const CertificateQuestion &)>;

// The certificate's SHA-256 as lower-case hex without separators: what a pin stores.
QString certificateFingerprint(const QSslCertificate &certificate);

} // namespace Kakiva
