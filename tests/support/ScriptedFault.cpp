#include "ScriptedFault.h"

#include "TestAppDir.h"

void writeScriptedSettings(const ScriptedFtpServer &server, const QString &directory)
{
    writeFtpSettings(server.serverString(), ScriptedUser, ScriptedPassword, directory);
}

void applyScriptedFault(ScriptedFault fault, ScriptedFtpServer &server)
{
    const auto text = ScriptedReply::text;
    const auto writeServer = [](const QString &address) {
        writeFtpSettings(address, ScriptedUser, ScriptedPassword, QStringLiteral("www"));
    };
    switch (fault) {
    case ScriptedFault::None:
        break;
    case ScriptedFault::Greeting500:
        server.setGreeting(text("500 Go away\r\n"));
        break;
    case ScriptedFault::UserRefused:
        server.setReply("USER", text("530 Not allowed\r\n"));
        break;
    case ScriptedFault::PasswordRefused:
        server.setReply("PASS", text("530 Login incorrect\r\n"));
        break;
    case ScriptedFault::Greeting421:
        server.setGreeting(ScriptedReply::closing("421 Too many users\r\n"));
        break;
    case ScriptedFault::RefusedPort:
        writeServer(QStringLiteral("127.0.0.1:%1").arg(refusedLoopbackPort()));
        break;
    case ScriptedFault::UnreachableAddress:
        // The system refuses a TCP connection to the broadcast address as unreachable.
        writeServer(QStringLiteral("255.255.255.255:21"));
        break;
    case ScriptedFault::TlsRefused:
        writeServer(QStringLiteral("ftpes://") + server.serverString());
        server.setReply("AUTH", text("500 Unknown command\r\n"));
        break;
    case ScriptedFault::SilentGreeting:
        server.setGreeting(ScriptedReply::silence());
        break;
    case ScriptedFault::RemoteDirectoryMissing:
        server.queueReply("CWD", text("550 No such directory\r\n"));
        break;
    case ScriptedFault::MakeDirectoryFails:
        server.setReply("MKD", text("550 Permission denied\r\n"));
        break;
    case ScriptedFault::StoreRefused:
        // A refusal of the file, not of its name: that would be told apart by storing the page
        // under its own name.
        server.queueReply("STOR", text("452 Insufficient storage space\r\n"));
        break;
    case ScriptedFault::ServiceClosingMidSession:
        server.queueReply("CWD", ScriptedReply::asUsual());
        server.queueReply("CWD", ScriptedReply::closing("421 Service not available\r\n"));
        break;
    case ScriptedFault::SilentAfterLogin:
        server.queueReply("CWD", ScriptedReply::silence());
        break;
    }
}

void recoverFrom(ScriptedFault fault, ScriptedFtpServer &server)
{
    if (fault == ScriptedFault::Greeting500)
        server.setGreeting(ScriptedReply::text("220 Ready\r\n"));
    else if (fault == ScriptedFault::RefusedPort || fault == ScriptedFault::TlsRefused ||
             fault == ScriptedFault::UnreachableAddress)
        writeScriptedSettings(server);
}
