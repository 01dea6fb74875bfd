#pragma once

#include <QtGlobal>

// The result values both clients share. The windows and jobs class results by these values
// and ranges, so the numbers themselves are part of the contract: Connect 0 / 1-5 / 6 / -1 /
// -2 / 10000+, Command 2 for success, PutFile 1 / 0 / negative. Each client adds its own
// codes inside those ranges (FtpResult, SftpResult).
namespace Kakiva::ClientResult {

// Connect
inline constexpr qint16 Connected = 0;
inline constexpr qint16 FirstRefusal = 1; // 1-5: the server answered, but no session came of it
inline constexpr qint16 LastRefusal = 5;
inline constexpr qint16 HostKeyNotTrusted = 6; // unknown or changed host key, not trusted: stop
                                               // and do not retry
inline constexpr qint16 SocketNotOpened = -1;  // bad server string, host not found, refused
inline constexpr qint16 ConnectTimedOut = -2;  // also when the cancel flag was raised
inline constexpr qint16 SocketErrorBase = 10000;
// The server and the program cannot work together until one of them changes: retrying
// cannot help. 20-29, away from the values above and from codes the FTP client may add.
inline constexpr qint16 NoCommonAlgorithm = 20; // no key exchange, host key or cipher in common
inline constexpr qint16 NoUsableLogin = 21;     // the server offers no login the program can give
inline constexpr qint16 SecondFactorAsked = 22; // it asks for more than the password (a
                                                // one-time code): the password is not sent
// A TLS handshake that failed. Inside the socket error range, so a reader that knows only the
// ranges still takes them as failures; the first is the value such a failure always had
// (10000 + QAbstractSocket::SslHandshakeFailedError).
inline constexpr qint16 TlsHandshakeRefused = 10013;  // refused, or the peer speaks no TLS
inline constexpr qint16 TlsCertificateFailed = 10900; // a certificate the handshake could not use
inline constexpr qint16 TlsProtocolTooOld = 10901;    // no TLS version in common: the server's
                                                      // are older than any we accept

// Command
inline constexpr qint16 CommandDone = 2;

// Command and PutFile
inline constexpr qint16 NotConnected = -1; // no session, or it ended before the answer
inline constexpr qint16 TimedOut = -2;
inline constexpr qint16 Cancelled = -3;
inline constexpr qint16 LineRefused = -4;          // a control character: nothing sent
inline constexpr qint16 BadReply = -5;             // the server's answer broke the protocol
inline constexpr qint16 DataConnectionFailed = -6; // FTP: the data connection did not open
inline constexpr qint16 LocalFileUnreadable = -7;
inline constexpr qint16 TransferIncomplete = -8; // the connection broke during the file, or
                                                 // the server reported completion too early

// PutFile
inline constexpr qint16 Stored = 1;
inline constexpr qint16 LocalFileMissing = 0;
// RemoveFile
inline constexpr qint16 Removed = 1;
inline constexpr qint16 NoSuchRemoteFile = 0;

// Results below this are minus the server's refusing reply code (-550...).
inline constexpr qint16 LowestClientResult = -99;
inline constexpr qint16 ServiceClosing = -421;

constexpr bool isConnectRefusal(qint16 result)
{
    return result >= FirstRefusal && result <= LastRefusal;
}
constexpr bool isSocketError(qint16 result)
{
    return result >= SocketErrorBase;
}
constexpr bool isServerRefusal(qint16 result)
{
    return result < LowestClientResult;
}
// The store failed for this file alone and the session is still usable.
constexpr bool failedForThisFileAlone(qint16 result)
{
    return result == LocalFileMissing || result == LocalFileUnreadable ||
           (isServerRefusal(result) && result != ServiceClosing);
}

} // namespace Kakiva::ClientResult
