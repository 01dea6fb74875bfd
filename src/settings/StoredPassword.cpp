#include "settings/StoredPassword.h"

#include "settings/SecretStore.h"
#include "settings/SettingsFile.h"

namespace Kakiva {

bool passwordInKeyring()
{
    return readSettings().passwordInKeyring();
}

ResolvedPassword resolvePassword(const Settings &settings, const std::function<bool()> &cancelled,
                                 std::chrono::milliseconds timeout)
{
    using Status = ResolvedPassword::Status;
    if (!settings.passwordInKeyring())
        return {Status::Ready, settings.password};
    const SecretAnswer answer =
        SecretStore::readNow(secretKey(settings.server, settings.user), timeout, cancelled);
    switch (answer.status) {
    case SecretStatus::Done:
        return {Status::Ready, answer.secret};
    case SecretStatus::NotFound:
        return {Status::NotInKeyring, {}};
    case SecretStatus::Unavailable:
        return {Status::KeyringUnavailable, {}};
    case SecretStatus::TimedOut:
        return {Status::KeyringTimedOut, {}};
    }
    return {};
}

bool writePasswordPlace(bool inKeyring, const QString &filePassword, QString *error)
{
    return IniWrite(FtpSection, PasswordKey, inKeyring ? QString() : filePassword, error) &&
           IniWrite(FtpSection, PasswordStoreKey,
                    inKeyring ? QString(KeyringPasswordStore) : QString(), error);
}

} // namespace Kakiva
