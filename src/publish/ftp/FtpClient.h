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

// The FTP client. The calls and their results are PublishClient's; what follows is what FTP
// adds. FtpResult.h names every value.
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

    // 1 the greeting was not 220 (a 120 before it is waited out), or under TLS: the server
    //   refused AUTH TLS, or its certificate was not trusted (nothing sent after either).
    // 2 USER refused, 3 PASS refused (4xx/5xx).
    // 4 a reply that fits no step: 332 (accounts are not supported), an unexpected code,
    //   text that is no FTP reply, PBSZ or PROT refused, or bytes after the 234 that accepted
    //   AUTH TLS (they could only have been put there by someone on the path).
    // 5 the server answered 421 or closed the connection.
    // 10000 + QAbstractSocket::SocketError for other socket errors; a failed TLS handshake
    //   reads as ClientResult's TLS codes.
    // server is a host name, an IPv4 or IPv6 address ("[::1]:2121" with a port), optionally
    // with ":port"; port 21 when absent. "ftpes://" before it asks for explicit TLS, "ftps://"
    // for implicit TLS (port 990 when absent).
    qint16 Connect(const QString &server, const QString &user, const QString &password) override;

    // Any command line; the answer is the first digit of the final reply code. After a 421
    // the session is over.
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

    // Sends QUIT without waiting for the answer.
    void Close() override;
    void CloseLog() override;

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
