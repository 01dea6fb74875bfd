#include "publish/FtpTls.h"

#include <QCryptographicHash>
#include <QSslCipher>
#include <QSslSocket>

namespace Kakiva {

QString certificateFingerprint(const QSslCertificate &certificate)
{
    return QString::fromLatin1(certificate.digest(QCryptographicHash::Sha256).toHex());
}

QSslConfiguration ftpTlsConfiguration()
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setSslOption(QSsl::SslOptionDisableSessionPersistence, false);
    configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
    return configuration;
}

QString describeTls(const QSslSocket &socket)
{
    const QSslCipher cipher = socket.sessionCipher();
    return QStringLiteral("%1, %2, certificate SHA-256 %3")
        .arg(cipher.protocolString(), cipher.name(),
             certificateFingerprint(socket.peerCertificate()));
}

} // namespace Kakiva
