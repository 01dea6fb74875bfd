#pragma once

#include "publish/client/PublishClient.h"
#include "publish/client/WireStats.h"
#include "publish/sftp/SshHostKeys.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <memory>

namespace Kakiva {

// The SFTP client. The calls and what their results mean are PublishClient's; what follows is
// how SFTP goes about them. The host key question is asked on the calling thread.
//
// The remote current directory is kept here: it starts as the login directory, "CWD" with
// a relative name goes below the current one and with a name starting with "/" to that
// absolute path. Each file is written under a hidden temporary name in its directory and
// then renamed over the old one (OpenSSH's posix-rename), so a reader never sees half a
// page.
class SftpClient : public PublishClient
{
public:
    SftpClient();
    ~SftpClient() override;
    SftpClient(const SftpClient &) = delete;
    SftpClient &operator=(const SftpClient &) = delete;

    // The host key's fingerprint is logged.
    qint16 OpenLog(const QString &path, qint16 mode) override;

    // server: "sftp://host", "sftp://host:port", "sftp://[::1]:2222"; port 22 when absent.
    // An empty password logs in with the keys of the user's SSH agent and default key files.
    // A server that takes the password only keyboard-interactive gets it there, when its
    // one prompt asks for the password.
    qint16 Connect(const QString &server, const QString &user, const QString &password) override;

    qint16 Command(const QString &line) override;

    // The old file under the name stays whole until the new one is complete; after a
    // refusal the temporary file is removed.
    qint16 PutFile(const QString &localPath, const QString &remoteName) override;

    // The opens of all the files go out together, then their writes, size questions (FSTAT)
    // and closes, then, when every file is whole on the server, the renames: three waits
    // whatever the number of files.
    bool storesTogether() const override { return true; }
    QList<qint16> PutFiles(const QList<PutRequest> &files) override;

    qint16 RemoveFile(const QString &remoteName) override;

    void Close() override;
    void CloseLog() override;

    // OPENDIR and READDIR (SftpDirectoryRead); no digests, which OpenSSH cannot tell.
    qint16 ListDirectory(const QString &directory, QList<RemoteEntry> *entries) override;

    void setCancelFlag(const std::atomic_bool *cancel) override;
    void setTimeout(std::chrono::milliseconds timeout) override;

    // Asked on the connecting thread before an unknown or changed host key is used; without
    // it such a key is refused.
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
