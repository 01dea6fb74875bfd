#pragma once

#include "publish/client/PublishClient.h"
#include "publish/client/WireStats.h"
#include "publish/ftp/FtpTls.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

namespace Kakiva {

struct FtpSession;

// The FTP client. The calls and what their results mean are PublishClient's; what follows is
// how FTP goes about them.
//
// Transfers are binary (TYPE I, sent once per session) over a passive data connection
// (EPSV, or PASV from the first time a server refuses EPSV). The data connection always
// goes to the address the control connection reached, whatever a PASV reply names.
//
// Under TLS (a server setting starting "ftpes://" or "ftps://") the login waits until the
// control connection is encrypted and its certificate accepted; every data connection is
// TLS as well, resumes the control connection's TLS session, must show the same
// certificate, and carries data only after its handshake (in the classic order).
class FtpClient : public PublishClient
{
public:
    FtpClient();
    ~FtpClient() override;
    FtpClient(const FtpClient &) = delete;
    FtpClient &operator=(const FtpClient &) = delete;

    qint16 OpenLog(const QString &path, qint16 mode) override;

    // server is a host name, an IPv4 or IPv6 address ("[::1]:2121" with a port), optionally
    // with ":port"; port 21 when absent. "ftpes://" before it asks for explicit TLS, "ftps://"
    // for implicit TLS (port 990 when absent).
    qint16 Connect(const QString &server, const QString &user, const QString &password) override;

    // Any command line goes to the server as it is.
    qint16 Command(const QString &line) override;

    // The data follows STOR at once, without waiting for the server's preliminary reply,
    // which saves a round trip per file. A server that drops data which got there before the
    // command (it resets the data connection, or answers 425 or 426) gets that file once
    // more, the data waiting for its preliminary reply, and so does every later file of the
    // session. Empty files always wait. A pipelined store that fails in any way the classic
    // order would have avoided (a time-out after the data, the connection lost) also ends the
    // pipelining: fellBackToClassic() then tells the caller, who should start later clients to
    // that server in the classic order.
    qint16 PutFile(const QString &localPath, const QString &remoteName) override;

    // "DELE remoteName". A server answers 550 both for a missing file and for one it will not
    // remove, so after a 550 it is asked whether the file is there (askFilePresence): 0 only
    // when it is not, otherwise -550, and the removal stays to be tried again.
    qint16 RemoveFile(const QString &remoteName) override;

    // Storing aside: HASH or SIZE of every temporary, then RNFR/RNTO pairs (FtpAside.h).
    QList<qint16> CheckFiles(const QList<AsideFile> &files, AsideWay way) override;
    QList<qint16> RenameFiles(const QList<AsideFile> &files, AsideWay way) override;
    // What FEAT said of HASH with SHA-256, or false once HASH was not understood.
    std::optional<bool> offersDigests() const override;

    void Close() override;
    void CloseLog() override;

    // MLSD where FEAT offers it, else LIST with SIZE for what it leaves out (FtpDirectoryList).
    qint16 ListDirectory(const QString &directory, QList<RemoteEntry> *entries) override;
    // HASH, where FEAT offers SHA-256.
    QList<QByteArray> FileDigests(const QString &directory, const QStringList &names) override;

    // Asked during Connect about a server certificate that does not verify against the
    // system's trust store, before anything but AUTH TLS has been sent; true accepts it.
    // Without a check such a certificate is refused.
    using CertificateCheck = std::function<bool(const CertificateQuestion &)>;
    void setCertificateCheck(CertificateCheck check);
    // Takes the certificate question; a host key never comes up.
    void setServerTrust(ServerTrust trust) override;

    // Whether data follows STOR at once (the default) or waits for the preliminary reply, from
    // the next login on.
    void setPipelining(bool pipelining) override;
    // True once a pipelined store failed in a way the classic order avoids, or the server
    // dropped data sent ahead of a STOR.
    bool fellBackToClassic() const override;

    void setCancelFlag(const std::atomic_bool *cancel) override;
    void setTimeout(std::chrono::milliseconds timeout) override;
    WireStats wireStats() const override;

private:
    std::unique_ptr<FtpSession> d;
};

} // namespace Kakiva
