#pragma once

#include "publish/client/ClientResult.h"

#include <QAbstractSocket>
#include <QtGlobal>

// The names of the FTP client's results: the shared ones, and Connect's refusals as FTP gives
// them (PublishClient.h says what each means).
namespace Kakiva::FtpResult {

using namespace ClientResult;

namespace Connect {
using namespace ClientResult::Connect;

inline constexpr qint16 SessionRefused = 1; // at the greeting, or under TLS before the login
inline constexpr qint16 UserRefused = 2;
inline constexpr qint16 PasswordRefused = 3;
inline constexpr qint16 UnexpectedReply = 4;
inline constexpr qint16 ClosedByServer = 5;

// SocketErrorBase plus the socket error's number, kept inside the 16 bits the upload reads.
qint16 socketErrorResult(QAbstractSocket::SocketError error);
} // namespace Connect

} // namespace Kakiva::FtpResult
