#pragma once

#include "settings/Settings.h"

#include <QString>

#include <chrono>
#include <functional>

namespace Kakiva {

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

// True when Kakiva.ini as it stands points at the keyring (Settings::passwordInKeyring).
bool passwordInKeyring();

// The password for the server and user of settings: the one their file held, or the
// keyring's when the file pointed there. Never an empty password where the keyring's was
// meant. Waits up to timeout for the keyring, less once cancelled says so: call it from a
// worker thread.
ResolvedPassword resolvePassword(const Settings &settings,
                                 const std::function<bool()> &cancelled = {},
                                 std::chrono::milliseconds timeout = KeyringWait);

// Writes where the password now lives: in the keyring (Password empty, the file pointing
// there) or in the file itself, in clear as before. Returns false when the file could not
// be written; then *error says why.
bool writePasswordPlace(bool inKeyring, const QString &filePassword, QString *error);

} // namespace Kakiva
