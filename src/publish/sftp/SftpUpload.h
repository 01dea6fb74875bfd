#pragma once

#include <QString>

class QIODevice;

namespace Kakiva {

class SessionLog;
class SftpChannel;

// Sends one file to directory/name: written under a hidden temporary name in the same
// directory, its writes and close on the wire together, then renamed over name in one
// step. Returns a PutFile result (SftpResult.h); after a refusal the temporary file is
// removed, and when the channel itself failed the caller ends the session.
qint16 sftpUpload(SftpChannel &channel, SessionLog &log, QIODevice &local, const QString &directory,
                  const QString &name);

// The PutFile or Command result for a channel that failed: ended, timed out, cancelled or
// broken. whileSending tells a connection lost during a file from one lost between calls.
qint16 sftpChannelFailureResult(const SftpChannel &channel, bool whileSending);

} // namespace Kakiva
