#pragma once

#include "publish/client/CertificateQuestion.h"
#include "publish/client/HostKeyQuestion.h"
#include "publish/client/WireStats.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <functional>

namespace Kakiva {

// What the user is asked when a server's identity does not check out on its own: a TLS
// certificate (FTP over TLS) or an SSH host key (SFTP). Each client asks the one it meets;
// unset, the identity is refused.
struct ServerTrust
{
    CertificateDecision certificate;
    HostKeyTrust hostKey;
};

// The calls an upload makes on a server, whatever the protocol: FtpClient and SftpClient
// both take them with the same result classes (Connect 0 / 1-5 / -1 / -2, 6 for a host key
// the user did not trust; Command 2 for success; PutFile and RemoveFile 1 / 0 /
// negative), so one upload
// attempt or bulk publish drives either. Synchronous, one instance per session, used from a
// worker thread of its own.
class PublishClient
{
public:
    virtual ~PublishClient() = default;

    virtual qint16 OpenLog(const QString &path, qint16 mode) = 0;
    virtual qint16 Connect(const QString &server, const QString &user, const QString &password) = 0;
    virtual qint16 Command(const QString &line) = 0;
    virtual qint16 PutFile(const QString &localPath, const QString &remoteName) = 0;
    // Removes a file of the current remote directory: 1 removed, 0 no such file there (for
    // a page to be taken off the site, as good as removed), negative as for PutFile.
    virtual qint16 RemoveFile(const QString &remoteName) = 0;
    virtual void Close() = 0;
    virtual void CloseLog() = 0;

    virtual void setCancelFlag(const std::atomic_bool *cancel) = 0;
    virtual void setTimeout(std::chrono::milliseconds timeout) = 0;
    virtual void setServerTrust(ServerTrust trust) = 0;
    // Whether a store's data may follow its command before the server's go-ahead, and whether
    // the server turned out not to take that. Only FTP sends that way; others ignore it.
    virtual void setPipelining(bool /*pipelining*/) {}
    virtual bool fellBackToClassic() const { return false; }
    virtual WireStats wireStats() const = 0;
};

} // namespace Kakiva
