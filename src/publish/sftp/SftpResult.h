#pragma once

#include "publish/client/ClientResult.h"

#include <QtGlobal>

// The names of the SFTP client's results: the shared ones, and the codes SFTP gives inside
// the shared ranges (PublishClient.h says what each means).
namespace Kakiva::SftpResult {

using namespace ClientResult;

namespace Connect {
using namespace ClientResult::Connect;

inline constexpr qint16 HandshakeFailed = 1;
inline constexpr qint16 LoginUnsendable = 2; // a control character in the name or password
inline constexpr qint16 PasswordRefused = 3;
inline constexpr qint16 SubsystemRefused = 4;
inline constexpr qint16 ClosedByServer = 5;
} // namespace Connect

namespace Command {
using namespace ClientResult::Command;

// No such directory, it exists already, no permission, or a command the client does not know:
// FTP's permanent refusal.
inline constexpr qint16 Refused = 5;
} // namespace Command

// PutFile and RemoveFile: the server refused to store, rename or remove.
inline constexpr qint16 ServerRefused = -550;

} // namespace Kakiva::SftpResult
