#include "settings/RestoredSettings.h"

#include "settings/CertificatePin.h"
#include "settings/IniDocument.h"
#include "settings/SettingsFile.h"
#include "settings/StoredPassword.h"

#include <QLatin1StringView>
#include <QString>

namespace Kakiva {

namespace {

// Sets key of section to the value it has in from; a key neither file holds stays absent.
void keepValue(IniDocument &document, const IniDocument &from, const QString &section,
               const QString &key)
{
    const QByteArray value = from.value(section, key);
    if (!value.isEmpty() || !document.value(section, key).isEmpty())
        document.setValue(section, key, quotedSettingValue(value));
}

bool sameLogin(const IniDocument &a, const IniDocument &b)
{
    const QString section = FtpSection;
    return a.value(section, QString(ServerKey)) == b.value(section, QString(ServerKey)) &&
           a.value(section, QString(NameKey)) == b.value(section, QString(NameKey));
}

} // namespace

QByteArray mergeRestoredSettings(const QByteArray &current, const QByteArray &restored,
                                 RestoredConnection connection)
{
    const IniDocument now(current);
    IniDocument document(restored);
    keepValue(document, now, BackupSection, BackupFolderKey);
    if (connection == RestoredConnection::Current) {
        // The password, where it lives and the login it was stored for go together.
        for (const QLatin1StringView key :
             {ServerKey, NameKey, DirectoryKey, PasswordKey, PasswordStoreKey, CertificateKey})
            keepValue(document, now, FtpSection, key);
        return document.bytes();
    }
    if (sameLogin(document, now))
        keepValue(document, now, FtpSection, PasswordKey);
    else
        keepValue(document, IniDocument(), FtpSection, PasswordKey);
    if (!now.value(QString(FtpSection), QString(PasswordStoreKey)).isEmpty())
        keepValue(document, now, FtpSection, PasswordStoreKey);
    return document.bytes();
}

} // namespace Kakiva
