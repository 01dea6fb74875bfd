#pragma once

#include <QtGlobal>

// The names of the result values both clients share, grouped by the call that gives them:
// the same number says different things from different calls (Connect's 0 is a session,
// PutFile's 0 a local file that is missing). What each value means is PublishClient.h's to
// say; each client names its own codes inside the shared ranges (FtpResult, SftpResult).
namespace Kakiva::ClientResult {

namespace Connect {
inline constexpr qint16 Connected = 0;
inline constexpr qint16 FirstRefusal = 1;
inline constexpr qint16 LastRefusal = 5;
inline constexpr qint16 HostKeyNotTrusted = 6;
inline constexpr qint16 SocketNotOpened = -1;
inline constexpr qint16 TimedOut = -2;
inline constexpr qint16 SocketErrorBase = 10000;
// 20-29: the server and the program cannot work together until one of them changes; away
// from the values above and from codes the FTP client may add.
inline constexpr qint16 NoCommonAlgorithm = 20;
inline constexpr qint16 NoUsableLogin = 21;
inline constexpr qint16 SecondFactorAsked = 22;
// Inside the socket error range, so a reader that knows only the ranges still takes them as
// failures; the first is the value such a failure always had (10000 +
// QAbstractSocket::SslHandshakeFailedError).
inline constexpr qint16 TlsHandshakeRefused = 10013;
inline constexpr qint16 TlsCertificateFailed = 10900;
inline constexpr qint16 TlsProtocolTooOld = 10901;

constexpr bool isRefusal(qint16 result)
{
    return result >= FirstRefusal && result <= LastRefusal;
}
constexpr bool isSocketError(qint16 result)
{
    return result >= SocketErrorBase;
}
} // namespace Connect

namespace Command {
inline constexpr qint16 Done = 2;
} // namespace Command

namespace PutFile {
inline constexpr qint16 Stored = 1;
inline constexpr qint16 LocalFileMissing = 0;
} // namespace PutFile

namespace RemoveFile {
inline constexpr qint16 Removed = 1;
inline constexpr qint16 NotThere = 0;
} // namespace RemoveFile

// The failures of Command, PutFile and RemoveFile.
inline constexpr qint16 NotConnected = -1;
inline constexpr qint16 TimedOut = -2;
inline constexpr qint16 Cancelled = -3;
inline constexpr qint16 LineRefused = -4;
inline constexpr qint16 BadReply = -5;
inline constexpr qint16 DataConnectionFailed = -6;
inline constexpr qint16 LocalFileUnreadable = -7;
inline constexpr qint16 TransferIncomplete = -8;

// The results of storing aside (CheckFiles, RenameFiles, PutFiles with temporary names).
inline constexpr qint16 StoredDiffers = -9;  // the server holds other than the bytes sent
inline constexpr qint16 ReplaceRefused = -10; // it took RNFR, then refused to replace the page
inline constexpr qint16 Withheld = -11;       // left aside: another file of the call failed
// The replies to commands sent together cannot be theirs in order: none of them is trusted.
inline constexpr qint16 RepliesOutOfOrder = -12;
// Sent together with commands that were answered, it never was: the wait ran out.
inline constexpr qint16 Unanswered = -13;

// Results below this are minus the server's refusing reply code (-550...).
inline constexpr qint16 LowestClientResult = -99;
inline constexpr qint16 ServiceClosing = -421;

constexpr bool isServerRefusal(qint16 result)
{
    return result < LowestClientResult;
}
// The store failed for this file alone and the session is still usable.
constexpr bool failedForThisFileAlone(qint16 result)
{
    return result == PutFile::LocalFileMissing || result == LocalFileUnreadable ||
           (isServerRefusal(result) && result != ServiceClosing);
}

} // namespace Kakiva::ClientResult
