#pragma once

#include "ScriptedFtpServer.h"

#include <QString>

// The faults the publishing tests put a scripted FTP server (or the settings that lead to
// it) through, so that each test names a fault instead of scripting it again.
enum class ScriptedFault
{
    None,
    Greeting500,
    UserRefused,
    PasswordRefused,
    Greeting421,
    RefusedPort,
    UnreachableAddress,
    TlsRefused,
    SilentGreeting,
    RemoteDirectoryMissing,
    MakeDirectoryFails,
    StoreRefused,
    ServiceClosingMidSession,
    SilentAfterLogin,
};

inline const QString ScriptedUser = QStringLiteral("diarist");
inline const QString ScriptedPassword = QStringLiteral("secret");

// Writes the FTP settings that reach server as ScriptedUser, publishing to directory.
void writeScriptedSettings(const ScriptedFtpServer &server,
                           const QString &directory = QStringLiteral("www"));

// Scripts fault on server, or writes the settings that bring it about.
void applyScriptedFault(ScriptedFault fault, ScriptedFtpServer &server);

// Undoes a fault that would last: the next session then gets in and publishes. A fault
// scripted as a queued reply answers the first session only and needs nothing.
void recoverFrom(ScriptedFault fault, ScriptedFtpServer &server);
