#include "settings/Settings.h"

#include "settings/IniDocument.h"
#include "settings/SettingsFile.h"

namespace Kakiva {

bool Settings::passwordInKeyring() const
{
    return password.isEmpty() && passwordStore == KeyringPasswordStore;
}

Settings readSettings(QString *error)
{
    QByteArray bytes;
    if (!readSettingsFile(&bytes, error))
        return {};
    const IniDocument file(bytes);
    const auto ftp = [&file](QLatin1StringView key) { return settingIn(file, FtpSection, key); };
    Settings settings;
    settings.server = ftp(ServerKey);
    settings.user = ftp(NameKey);
    settings.directory = ftp(DirectoryKey);
    settings.password = ftp(PasswordKey);
    settings.passwordStore = ftp(PasswordStoreKey);
    settings.certificate = ftp(CertificateKey);
    settings.backupFolder = settingIn(file, BackupSection, BackupFolderKey);
    settings.siteUrl = settingIn(file, SiteSection, SiteUrlKey);
    settings.pictureLongEdge = settingIn(file, SiteSection, PictureLongEdgeKey).toInt();
    return settings;
}

} // namespace Kakiva
