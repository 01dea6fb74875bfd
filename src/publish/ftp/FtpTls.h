#pragma once

#include "publish/client/CertificateQuestion.h"

#include <QList>
#include <QSslConfiguration>
#include <QString>
#include <QtNetwork/qssl.h>

class QSslSocket;

namespace Kakiva {

// The system's defaults, with the session kept so that data connections can resume the
// control connection's TLS session (strict servers refuse a data connection that does not).
QSslConfiguration ftpTlsConfiguration();

// "TLSv1.3, TLS_AES_256_GCM_SHA384, certificate SHA-256 ab12..." for the log.
QString describeTls(const QSslSocket &socket);

// Connect's result for a failed handshake, from the alerts either side sent during it: a
// certificate one, one about the protocol version, or any other refusal.
qint16 handshakeFailureResult(const QList<QSsl::AlertType> &alerts);

} // namespace Kakiva
