#pragma once

#include "publish/client/ClientResult.h"

#include <QAbstractSocket>
#include <QtGlobal>

// The FTP client's results: the shared ones, and the codes only FTP gives, inside the
// shared ranges.
namespace Kakiva::FtpResult {

using namespace ClientResult;

// Connect
inline constexpr qint16 BadGreeting = 1;      // the first reply was not 220 (or 120 then 220)
inline constexpr qint16 TlsRefused = 1;       // the server refused AUTH TLS, or its certificate
                                              // was not trusted: nothing more was sent
inline constexpr qint16 UserRefused = 2;      // USER answered 4xx/5xx, or the name holds a control
                                              // character and nothing was sent
inline constexpr qint16 PasswordRefused = 3;  // PASS answered 4xx/5xx, or the password holds a
                                              // control character and nothing was sent
inline constexpr qint16 UnexpectedReply = 4;  // a reply that fits no step (332, 1xx, garbage)
inline constexpr qint16 ClosedByServer = 5;   // 421, or the server closed the connection

// Command answers with the reply's first digit; PutFile with the shared results or minus the
// server's refusing reply code (-550).

// 10000 plus the socket error's number, kept inside the 16 bits the upload reads; an error
// without a number is reported as the top of the range, so it still reads as a socket error.
qint16 socketErrorResult(QAbstractSocket::SocketError error);

} // namespace Kakiva::FtpResult
