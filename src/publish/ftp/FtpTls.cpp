#include "publish/ftp/FtpTls.h"

#include <QSslCipher>
#include <QSslSocket>

namespace Kakiva {

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
