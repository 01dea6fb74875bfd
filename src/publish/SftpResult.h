#pragma once

#include <QtGlobal>

// The result values of the SFTP client. They follow the FTP client's classes, so that one
// upload attempt can drive either: Connect 0 / 1-5 / -1 / -2, Command 2 for success,
// PutFile 1 / 0 / negative. Values the FTP client does not have are added outside the
// ranges the upload already reads, so an old reading never mistakes them for success.
namespace Kakiva::SftpResult {

// Connect
inline constexpr qint16 Connected = 0;
inline constexpr qint16 HandshakeFailed = 1;   // no SSH server, or no algorithms in common
inline constexpr qint16 NoUsableAuth = 2;      // no method we can use, or a control character
                                               // in the name or password (nothing sent)
inline constexpr qint16 PasswordRefused = 3;   // the password, or with none every key, refused
inline constexpr qint16 SubsystemRefused = 4;  // no session channel or no "sftp" subsystem
inline constexpr qint16 ClosedByServer = 5;    // the server ended the connection
inline constexpr qint16 HostKeyNotTrusted = 6; // unknown or changed key, not trusted: stop and
                                               // do not retry
inline constexpr qint16 SocketNotOpened = -1;  // bad server string, host not found, refused
inline constexpr qint16 ConnectTimedOut = -2;  // also when the cancel flag was raised

// Command (2 success, 5 refused by the server or an unknown command) and PutFile
inline constexpr qint16 CommandDone = 2;
inline constexpr qint16 CommandRefused = 5;
inline constexpr qint16 NotConnected = -1; // no session, or it ended before the answer
inline constexpr qint16 TimedOut = -2;
inline constexpr qint16 Cancelled = -3;
inline constexpr qint16 LineRefused = -4; // a control character, or a '/' in a file name
inline constexpr qint16 BadReply = -5;    // the server's answer broke the protocol
inline constexpr qint16 LocalFileUnreadable = -7;
inline constexpr qint16 TransferIncomplete = -8; // the connection broke during the file
inline constexpr qint16 ServerRefused = -550;    // the server refused to store or rename
inline constexpr qint16 Stored = 1;
inline constexpr qint16 LocalFileMissing = 0;

} // namespace Kakiva::SftpResult
