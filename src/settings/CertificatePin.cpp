#include "settings/CertificatePin.h"

#include "settings/SettingsFile.h"

namespace Kakiva {

QString readCertificatePin(const QString &server)
{
    const QString stored = IniRead(FtpSection, CertificateKey);
    const qsizetype blank = stored.indexOf(QLatin1Char(' '));
    if (blank < 0 || stored.left(blank) != server)
        return QString();
    return stored.mid(blank + 1).trimmed().toLower();
}

bool writeCertificatePin(const QString &server, const QString &sha256Hex, QString *error)
{
    return IniWrite(FtpSection, CertificateKey, server + QLatin1Char(' ') + sha256Hex.toLower(),
                    error);
}

} // namespace Kakiva
