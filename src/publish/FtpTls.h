#pragma once

#include <QSslCertificate>
#include <QSslConfiguration>
#include <QString>
#include <QStringList>

class QSslSocket;

namespace Kakiva {

// A server certificate that did not verify against the system's trust store: whoever keeps
// the pins, or the user, decides whether it is the server's own.
struct FtpCertificateQuestion
{
    QString server; // "host:port" as connected
    QSslCertificate certificate;
    QStringList problems; // why it did not verify, as the TLS library says it
    // Another certificate had been trusted for this server before (set by whoever keeps
    // the pins).
    bool changed = false;
};

// The certificate's SHA-256 as lower-case hex without separators: what a pin stores.
QString certificateFingerprint(const QSslCertificate &certificate);

// The system's defaults, with the session kept so that data connections can resume the
// control connection's TLS session (strict servers refuse a data connection that does not).
QSslConfiguration ftpTlsConfiguration();

// "TLSv1.3, TLS_AES_256_GCM_SHA384, certificate SHA-256 ab12..." for the log.
QString describeTls(const QSslSocket &socket);

} // namespace Kakiva
