#pragma once

#include "publish/client/ClientResult.h"

#include <QtGlobal>

// The SFTP client's results: the shared ones, and the codes only SFTP gives, inside the
// shared ranges.
namespace Kakiva::SftpResult {

using namespace ClientResult;

// Connect
inline constexpr qint16 HandshakeFailed = 1;  // no SSH server, or the handshake broke
inline constexpr qint16 NoUsableAuth = 2;     // a control character in the name or password
                                              // (nothing sent)
inline constexpr qint16 PasswordRefused = 3;  // the password, or with none every key, refused
inline constexpr qint16 SubsystemRefused = 4; // no session channel or no "sftp" subsystem
inline constexpr qint16 ClosedByServer = 5;   // the server ended the connection

// Command (2 success, 5 refused by the server or an unknown command) and PutFile
inline constexpr qint16 CommandRefused = 5;
inline constexpr qint16 ServerRefused = -550; // the server refused to store or rename

} // namespace Kakiva::SftpResult
