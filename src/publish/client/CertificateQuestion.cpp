#include "publish/client/CertificateQuestion.h"

#include <QCryptographicHash>

namespace Kakiva {

QString certificateFingerprint(const QSslCertificate &certificate)
{
    return QString::fromLatin1(certificate.digest(QCryptographicHash::Sha256).toHex());
}

} // namespace Kakiva
