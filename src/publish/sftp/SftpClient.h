#pragma once

#include "publish/client/PublishClient.h"
#include "publish/client/WireStats.h"
#include "publish/sftp/SshHostKeys.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <memory>

namespace Kakiva {

// The SSH counterpart of FtpClient, with the same calls and result classes, so that one
// upload attempt can drive either: synchronous, one instance per attempt, every call back
// within its time-out or within a fraction of a second once the cancel flag is raised.
// Results are 16-bit; SftpResult.h names every value.
//
// Use it from a worker thread of its own: connecting runs a short local event loop of the
// calling thread for the name lookup, and the host key question is asked on that thread.
// The remote current directory is kept here: it starts as the login directory, "CWD" with
// a relative name goes below the current one and with a name starting with "/" to that
// absolute path. Each file is written under a hidden temporary name in its directory and
// then renamed over the old one (OpenSSH's posix-rename), so a reader never sees half a
// page.
class SftpClient : public PublishClient
{
public:
    SftpClient();
    // Without Close the connection is dropped quietly.
    ~SftpClient() override;
    SftpClient(const SftpClient &) = delete;
    SftpClient &operator=(const SftpClient &) = delete;

    // Appends one time-stamped line per SSH step, SFTP request and answer to the log at
    // path, in the FTP log's format and with its rotation (mode 0 turns the log off). The
    // host key's fingerprint is logged; the password never is. Returns 0, or -1 when the
    // file cannot be opened.
    qint16 OpenLog(const QString &path, qint16 mode) override;

    // server: "sftp://host", "sftp://host:port", "sftp://[::1]:2222"; port 22 when absent.
    // An empty password logs in with the keys of the user's SSH agent and default key files.
    // A server that takes the password only keyboard-interactive gets it there, when its
    // one prompt asks for the password.
    // 0 connected, logged in, SFTP started.
    // 1 the SSH handshake failed (no SSH server, or it broke off).
    // 2 a control character in the user name or password (nothing sent).
    // 3 the password refused (without a password: every key refused).
    // 4 no session channel or no "sftp" subsystem.
    // 5 the server closed the connection.
    // 6 the host key is unknown or has changed and was not trusted: nothing was sent after
    //   the handshake, and retrying cannot help until the user trusts the key.
    // 20 no key exchange, host key or cipher algorithm in common (the log names both lists);
    // 21 no login method the program can use; 22 the server asks for more than the password
    //    (a one-time code), which is not given to it. Retrying cannot help either.
    // -1 the socket could not be opened: a server string that is not sftp://, host not
    //    found, connection refused.
    // -2 time-out, or the cancel flag was raised.
    qint16 Connect(const QString &server, const QString &user, const QString &password) override;

    // "CWD name" and "MKD name" (any case), name relative to the current remote directory or
    // absolute; "CWD " with no name stays where it is. 2 done; 5 refused by the server (no
    // such directory, it exists already, no permission) or another command. Negative: -1 no
    // session or it ended, -2 time-out, -3 cancelled, -4 a control character (nothing sent),
    // -5 the server broke the protocol. After -2, -3 and -5 the session is over.
    qint16 Command(const QString &line) override;

    // Stores a local file in the current remote directory, under remoteName or, when that is
    // empty, under the local file's own name. 1 stored and in place; 0 the local file does
    // not exist (checked before anything is sent); negative: -1 to -5 as for Command (-4 also
    // for a remote name holding "/"), -7 the local file cannot be read, -8 the connection
    // broke during the file, -550 the server refused to write or rename it. The old file
    // under the name stays whole until the new one is complete; after a refusal the
    // temporary file is removed.
    qint16 PutFile(const QString &localPath, const QString &remoteName) override;

    // Removes a file of the current remote directory: 1 removed, 0 no such file, -550 the
    // server refused; -1 to -5 as for Command.
    qint16 RemoveFile(const QString &remoteName) override;

    // Ends the channel and the connection without waiting for the server.
    void Close() override;
    void CloseLog() override;

    // Raised from another thread to abandon whatever call is running.
    void setCancelFlag(const std::atomic_bool *cancel) override;
    // The limit on connecting, on each answer and on a transfer that stops moving. 25 s
    // unless set.
    void setTimeout(std::chrono::milliseconds timeout) override;

    // Asked on the connecting thread before an unknown or changed host key is used; without
    // it such a key is refused (Connect returns 6).
    void setHostKeyTrust(HostKeyTrust trust);
    // Takes the host key question; a certificate never comes up.
    void setServerTrust(ServerTrust trust) override;
    // ~/.ssh/known_hosts and the application directory's "known_hosts" unless set.
    void setKnownHostsFiles(const KnownHostsFiles &files);

    // SFTP requests sent and waits for answers so far (the SSH handshake not counted).
    WireStats wireStats() const override;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace Kakiva
