#pragma once

#include <QLatin1StringView>
#include <QString>

#include <chrono>
#include <functional>

namespace Kakiva {

// Beside an empty Password: the password is in the desktop's keyring. Versions that know
// nothing of the keyring ignore the key.
inline constexpr QLatin1StringView PasswordStoreKey{"PasswordStore"};
inline constexpr QLatin1StringView KeyringPasswordStore{"keyring"};

// Long enough for a keyring that asks the user to unlock it in a window of its own.
inline constexpr std::chrono::seconds KeyringWait{30};

// The password the settings give for logging in.
struct ResolvedPassword
{
    enum class Status
    {
        Ready,
        NotInKeyring,       // the file points at the keyring, which has no such entry
        KeyringUnavailable, // no keyring in this session, or it refused
        KeyringTimedOut,
    };
    Status status = Status::KeyringUnavailable;
    QString password; // only when Ready

    bool isReady() const { return status == Status::Ready; }
};

// True when Kakiva.ini holds no password of its own and points at the keyring. A password
// in the file always counts, so a file an older version wrote again keeps working.
bool passwordInKeyring();

// The password for server and user: the one in Kakiva.ini as it stands, or the keyring's
// when the file points there. Never an empty password where the keyring's was meant.
// Waits up to timeout for the keyring, less once cancelled says so: call it from a worker
// thread.
ResolvedPassword resolvePassword(const QString &server, const QString &user,
                                 const std::function<bool()> &cancelled = {},
                                 std::chrono::milliseconds timeout = KeyringWait);

// Writes where the password now lives: in the keyring (Password empty, the file pointing
// there) or in the file itself, in clear as before. Returns false when the file could not
// be written; then *error says why.
bool writePasswordPlace(bool inKeyring, const QString &filePassword, QString *error);

} // namespace Kakiva
