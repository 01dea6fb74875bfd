#pragma once

#include <QAbstractSocket>
#include <QtGlobal>

// The result values of the FTP client. The upload classes Connect's results by range, so
// the numbers themselves are part of the contract; the names exist for the code and tests.
namespace Kakiva::FtpResult {

// Connect
inline constexpr qint16 Connected = 0;
inline constexpr qint16 BadGreeting = 1;      // the first reply was not 220 (or 120 then 220)
inline constexpr qint16 TlsRefused = 1;       // the server refused AUTH TLS, or its certificate
                                              // was not trusted: nothing more was sent
inline constexpr qint16 UserRefused = 2;      // USER answered 4xx/5xx, or the name holds a control
                                              // character and nothing was sent
inline constexpr qint16 PasswordRefused = 3;  // PASS answered 4xx/5xx, or the password holds a
                                              // control character and nothing was sent
inline constexpr qint16 UnexpectedReply = 4;  // a reply that fits no step (332, 1xx, garbage)
inline constexpr qint16 ClosedByServer = 5;   // 421, or the server closed the connection
inline constexpr qint16 SocketNotOpened = -1; // bad server string, host not found, refused
inline constexpr qint16 ConnectTimedOut = -2; // also when the cancel flag was raised
inline constexpr qint16 SocketErrorBase = 10000;

// Command and PutFile (Command answers with the reply's first digit otherwise; PutFile with
// 1 for a stored file, 0 for a missing local file, or minus the server's refusing reply code,
// e.g. -550)
inline constexpr qint16 NotConnected = -1; // no session, or it ended before the reply
inline constexpr qint16 TimedOut = -2;
inline constexpr qint16 Cancelled = -3;
inline constexpr qint16 LineRefused = -4; // CR, LF, NUL or another control character: not sent
inline constexpr qint16 BadReply = -5;    // not a reply, or over the line or line-count bounds
inline constexpr qint16 DataConnectionFailed = -6;
inline constexpr qint16 LocalFileUnreadable = -7;
inline constexpr qint16 TransferIncomplete = -8; // the data connection broke, or the server
                                                 // reported completion before the last byte
inline constexpr qint16 Stored = 1;
inline constexpr qint16 LocalFileMissing = 0;

// 10000 plus the socket error's number, kept inside the 16 bits the upload reads; an error
// without a number is reported as the top of the range, so it still reads as a socket error.
qint16 socketErrorResult(QAbstractSocket::SocketError error);

} // namespace Kakiva::FtpResult
