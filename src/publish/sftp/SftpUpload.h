#pragma once

#include <QList>
#include <QString>

class QIODevice;

namespace Kakiva {

class SessionLog;
class SftpChannel;

struct SftpUploadFile
{
    QIODevice *local = nullptr; // open for reading
    QString directory;          // as the server names it; empty: the login directory
    QString name;
    QString temporaryName = {}; // empty: a hidden name made from name
};

// Sends each file to directory/name: written under a temporary name in the same directory,
// its writes, the question of the size the server holds (FSTAT) and its close on the wire
// together, then renamed over name in one step. The files' opens go out together, then their
// writes and closes, then the renames, so the lot costs the waits of one file. One PutFile
// result (SftpResult.h) per file, in order. After a refusal or a size that differs that
// file's temporary is removed and its old page stays; when the files were given temporary
// names, so does every other file's (answering Withheld). When the channel itself failed the
// caller ends the session.
QList<qint16> sftpUpload(SftpChannel &channel, SessionLog &log, const QList<SftpUploadFile> &files);

// The PutFile or Command result for a channel that failed: ended, timed out, cancelled or
// broken. whileSending tells a connection lost during a file from one lost between calls.
qint16 sftpChannelFailureResult(const SftpChannel &channel, bool whileSending);

} // namespace Kakiva
