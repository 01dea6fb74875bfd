#pragma once

#include "publish/client/CertificateQuestion.h"
#include "publish/client/ClientResult.h"
#include "publish/client/HostKeyQuestion.h"
#include "publish/client/RemoteEntry.h"
#include "publish/client/WireStats.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>

namespace Kakiva {

// What the user is asked when a server's identity does not check out on its own: a TLS
// certificate (FTP over TLS) or an SSH host key (SFTP). Each client asks the one it meets;
// unset, the identity is refused.
struct ServerTrust
{
    CertificateDecision certificate;
    HostKeyTrust hostKey;
};

// One file of PutFiles: directory is where it goes, as a "CWD " argument from the current
// remote directory ("" for the current one); localPath and remoteName as for PutFile.
struct PutRequest
{
    QString localPath;
    QString directory;
    QString remoteName;
    // When set, the file goes under this name first and replaces remoteName only once every
    // file of the call is whole on the server (see PutFiles).
    QString temporaryName = {};
};

// A file stored aside under a temporary name, to replace a page: both as paths from the
// current remote directory, and what was sent in it.
struct AsideFile
{
    QString temporary;
    QString page;
    qint64 size = 0;
    QByteArray sha256; // of the bytes sent; empty when unknown
};

// How a server takes the questions and renames of storing aside, as learnt of it.
struct AsideWay
{
    bool together = true;     // the commands of all files on the wire at once
    bool removeFirst = false; // the page removed just before the rename (no replacing rename)
    bool digests = false;     // the server tells SHA-256 digests: they are compared, not sizes
};

// The calls an upload makes on a server, whatever the protocol, so one upload attempt or bulk
// publish drives FtpClient and SftpClient alike. This is the contract of both clients, written
// here alone; ClientResult.h names the values, FtpResult.h and SftpResult.h each client's own.
// The values the upload window reads are fixed (Connect 0 / 1-5 / -1 / -2 / 10000 and more,
// Command 2, PutFile 1 / 0 / negative); every other value lies inside those ranges, so a
// reader that knows only the ranges still takes it right. Within one call each value means one
// thing; where it covers several causes the log tells them apart.
//
// Synchronous, one instance per session, used from a worker thread of its own: connecting
// runs a short local event loop of the calling thread. Every call returns within its time-out,
// or within a fraction of a second once the cancel flag is raised.
//
// OpenLog(path, mode): appends one time-stamped line per step, command and answer to the log
//   at path; mode 0 turns the log off. Past 1 MiB the log is renamed to path + ".1". The
//   password never reaches it. 0, or -1 when the file cannot be opened; a log that cannot be
//   written never fails any other call.
// Connect(server, user, password):
//   0 connected and logged in, ready for Command and PutFile.
//   1 to 5 the server answered but no session came of it; nothing more was sent.
//     FTP: 1 the greeting was not 220 (a 120 before it is waited out), or under TLS the server
//     refused AUTH TLS or its certificate was not trusted; 2 USER refused; 3 PASS refused
//     (4xx/5xx); 4 a reply that fits no step: 332 (accounts are not supported), an unexpected
//     code, text that is no FTP reply, PBSZ or PROT refused, or bytes after the 234 that
//     accepted AUTH TLS (only someone on the path could have put them there); 5 a 421, or the
//     server closed the connection.
//     SFTP: 1 no SSH server, or the handshake broke; 3 the password, or with none every key,
//     refused; 4 no session channel or no "sftp" subsystem; 5 the server closed the connection.
//     A user name or password holding a control character gives 2 (FTP: 3 for the password)
//     with nothing sent.
//   6 (SFTP) the server's host key is unknown or has changed and was not trusted.
//   20 (SFTP) no key exchange, host key or cipher algorithm in common (the log names both
//     sides' lists); 21 no login method the program can use; 22 the server asks for more than
//     the password (a one-time code), which is not given to it.
//     Retrying cannot help with 6 or 20 to 22 until the user, the server or the settings change.
//   -1 the socket could not be opened: a server setting that cannot be read, host not found,
//      connection refused.
//   -2 time-out, or the cancel flag was raised.
//   10000 or more: a socket or TLS failure, 10000 + QAbstractSocket::SocketError (the top of
//     the range for an error without a number), except that a failed TLS handshake gives 10013
//     (refused, or the peer speaks no TLS), 10900 (a certificate the handshake could not use)
//     or 10901 (no TLS version in common: the server's are older than any we accept).
// Command(line): "CWD name" or "MKD name" (SFTP: any case; a name relative to the current
//   remote directory or absolute; "CWD " with no name stays where it is). 2 done; another
//   positive value: refused (FTP: the first digit of the final reply, and after a 421 the
//   session is over; SFTP: 5, for a refusal or a command it does not know). Negative: -1 no
//   session or it ended, -2 time-out, -3 cancelled, -4 the line holds a control character
//   (nothing sent), -5 the server broke the protocol. After -2, -3 and -5 the session is over
//   and later calls return -1.
// PutFile(localPath, remoteName): stores the local file in the current remote directory
//   under remoteName or, when that is empty, under the local file's own name.
//   1 stored: the server confirmed it after our last byte.
//   0 the local file does not exist (checked before anything is sent).
//   Negative: -1 to -5 as for Command (-4 also for a remote name holding a control character,
//   or for SFTP a "/"), -6 the data connection could not be opened, -7 the local file cannot
//   be read, -8 the transfer broke off or ended early, or minus the code of the server's
//   refusing reply (-550...; SFTP: -550 whenever the server refused to write or rename).
// PutFiles(files): PutFile for each file, into its own directory, the current one unchanged;
//   one result per file, in order. A refused file does not stop the others; a session that
//   ends fails every file not yet stored. Only a client that storesTogether() takes it; any
//   other answers -4 for every file, nothing sent. Files with a temporary name are written
//   there, their size checked before they are closed, and renamed over their pages only when
//   every such file of the call is whole: -9 a file the server holds shorter or longer, -10 a
//   rename refused, -11 a file left aside (its temporary removed) because another failed.
// RemoveFile(remoteName): removes a file of the current remote directory. 1 removed, 0 no
//   such file (already gone; FTP: also on 550, which a server gives for a file it will not
//   remove as well, so such a file stays and is not asked about again), negative as for
//   Command or minus the server's refusing code (SFTP: -550).
// Storing aside, so that a page is only ever replaced by one the server holds whole (a client
// that stores together does all of it in PutFiles):
// CheckFiles(files, way): asks the server the size of every temporary, after every store's
//   final reply. 1 it holds exactly the bytes sent, -9 it holds another size or none,
//   negative as for Command, or minus the refusing code of a server that cannot tell.
// RenameFiles(files, way): renames each temporary over its page. 1 renamed; -10 the server
//   took the temporary but refused to put it over the page; otherwise as for Command, or minus
//   the code that refused the temporary itself. With way.removeFirst the page is removed just
//   before (the page is missing for that moment, and the log says so).
// Close(): ends the session without waiting for the server (FTP sends QUIT). CloseLog():
//   closes the log. A client destroyed without Close drops its connection quietly.
//
// What a check of the site asks of the server:
// ListDirectory(directory, entries): the files and directories of directory (a "CWD "
//   argument from the current remote directory, "" for the current one), the current one
//   unchanged. *entries gets them without "." and "..", every name a plain name
//   (isPlainEntryName; others are left out), and never more than RemoteListing::MaxEntries.
//   A size the server does not give is asked for where it can be (FTP: SIZE); -1 where not.
//   2 listed; another positive value: refused (FTP: the first digit of the refusing reply, 5
//   also for a directory that is not there; SFTP: 5). Negative as for Command; -5 also for a
//   listing larger than RemoteListing::MaxBytes, which ends the session.
// FileDigests(directory, names): the SHA-256 of each file of directory named, in order, where
//   the server can tell (FTP: HASH, where FEAT offers SHA-256); an empty digest for a file it
//   could not tell. An empty list when the server offers no digests at all.
class PublishClient
{
public:
    virtual ~PublishClient() = default;

    virtual qint16 OpenLog(const QString &path, qint16 mode) = 0;
    virtual qint16 Connect(const QString &server, const QString &user, const QString &password) = 0;
    virtual qint16 Command(const QString &line) = 0;
    virtual qint16 PutFile(const QString &localPath, const QString &remoteName) = 0;
    // Whether PutFiles puts the files' requests on the wire together, sharing their waits;
    // otherwise callers send one file at a time, changing directory as they go.
    virtual bool storesTogether() const { return false; }
    virtual QList<qint16> PutFiles(const QList<PutRequest> &files)
    {
        return QList<qint16>(files.size(), ClientResult::LineRefused);
    }
    virtual qint16 RemoveFile(const QString &remoteName) = 0;

    // Storing aside.
    virtual QList<qint16> CheckFiles(const QList<AsideFile> &files, AsideWay /*way*/)
    {
        return QList<qint16>(files.size(), ClientResult::LineRefused);
    }
    virtual QList<qint16> RenameFiles(const QList<AsideFile> &files, AsideWay /*way*/)
    {
        return QList<qint16>(files.size(), ClientResult::LineRefused);
    }
    // Whether the server tells SHA-256 digests, once this login has found out; unknown until.
    virtual std::optional<bool> offersDigests() const { return std::nullopt; }

    virtual void Close() = 0;
    virtual void CloseLog() = 0;

    // A check of the site. Unless a client says otherwise it can neither list nor tell digests.
    virtual qint16 ListDirectory(const QString & /*directory*/, QList<RemoteEntry> *entries)
    {
        entries->clear();
        return ClientResult::LineRefused;
    }
    virtual QList<QByteArray> FileDigests(const QString & /*directory*/,
                                          const QStringList & /*names*/)
    {
        return {};
    }

    // Raised from another thread to abandon whatever call is running.
    virtual void setCancelFlag(const std::atomic_bool *cancel) = 0;
    // The limit on connecting, on each answer and on a transfer that stops moving (one may
    // take as long as it keeps making progress). 25 s unless set.
    virtual void setTimeout(std::chrono::milliseconds timeout) = 0;
    virtual void setServerTrust(ServerTrust trust) = 0;
    // Whether a store's data may follow its command before the server's go-ahead, and whether
    // the server turned out not to take that. Only FTP sends that way; others ignore it.
    virtual void setPipelining(bool /*pipelining*/) {}
    virtual bool fellBackToClassic() const { return false; }
    // What the session cost on the wire so far.
    virtual WireStats wireStats() const = 0;
};

} // namespace Kakiva
