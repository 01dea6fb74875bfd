#include "publish/ftp/FtpTls.h"

#include "publish/ftp/FtpResult.h"

#include <QSslCipher>
#include <QSslSocket>

#include <algorithm>

namespace Kakiva {

namespace {

// The cipher's own protocol string names the version that introduced the cipher, not the
// one in use ("SSLv3" for a TLS 1.2 session).
QString protocolName(QSsl::SslProtocol protocol)
{
    switch (protocol) {
    case QSsl::TlsV1_2:
        return QStringLiteral("TLSv1.2");
    case QSsl::TlsV1_3:
        return QStringLiteral("TLSv1.3");
    default:
        return QStringLiteral("TLS protocol %1").arg(int(protocol));
    }
}

bool isCertificateAlert(QSsl::AlertType alert)
{
    switch (alert) {
    case QSsl::AlertType::NoCertificate:
    case QSsl::AlertType::BadCertificate:
    case QSsl::AlertType::UnsupportedCertificate:
    case QSsl::AlertType::CertificateRevoked:
    case QSsl::AlertType::CertificateExpired:
    case QSsl::AlertType::CertificateUnknown:
    case QSsl::AlertType::UnknownCa:
    case QSsl::AlertType::CertificateUnobtainable:
    case QSsl::AlertType::BadCertificateStatusResponse:
    case QSsl::AlertType::BadCertificateHashValue:
    case QSsl::AlertType::CertificateRequired:
        return true;
    default:
        return false;
    }
}

} // namespace

static_assert(FtpResult::Connect::TlsHandshakeRefused ==
              FtpResult::Connect::SocketErrorBase + QAbstractSocket::SslHandshakeFailedError);

QSslConfiguration ftpTlsConfiguration()
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setSslOption(QSsl::SslOptionDisableSessionPersistence, false);
    configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
    return configuration;
}

QString describeTls(const QSslSocket &socket)
{
    return QStringLiteral("%1, %2, certificate SHA-256 %3")
        .arg(protocolName(socket.sessionProtocol()), socket.sessionCipher().name(),
             certificateFingerprint(socket.peerCertificate()));
}

qint16 handshakeFailureResult(const QList<QSsl::AlertType> &alerts)
{
    if (alerts.contains(QSsl::AlertType::ProtocolVersion))
        return FtpResult::Connect::TlsProtocolTooOld;
    if (std::any_of(alerts.begin(), alerts.end(), isCertificateAlert))
        return FtpResult::Connect::TlsCertificateFailed;
    return FtpResult::Connect::TlsHandshakeRefused;
}

} // namespace Kakiva
