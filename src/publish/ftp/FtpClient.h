#pragma once

#include "publish/ftp/FtpTls.h"
#include "publish/client/PublishClient.h"
#include "publish/client/WireStats.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

namespace Kakiva {

struct FtpSession;

// The FTP component the upload drives: synchronous, command level, one instance per
// upload attempt. Every call returns within its time-out, or within a fraction of a
// second once the cancel flag is raised. Results are 16-bit, as the upload reads them;
// FtpResult.h names every value.
//
// Use it from a worker thread of its own: connecting runs a short local event loop of the
// calling thread (name lookup and connection), every other wait blocks in slices.
// Transfers are binary (TYPE I, sent once per session) over a passive data connection
// (EPSV, or PASV from the first time a server refuses EPSV). The data connection always
// goes to the address the control connection reached, whatever a PASV reply names.
// Command lines, user name, password and remote names holding CR, LF, NUL or any other
// control character are refused before anything is sent.
//
// Under TLS (a server setting starting "ftpes://" or "ftps://") the login waits until the
// control connection is encrypted and its certificate accepted; every data connection is
// TLS as well, resumes the control connection's TLS session, must show the same
// certificate, and carries data only after its handshake (in the classic order).
class FtpClient : public PublishClient
{
public:
    FtpClient();
    // Without Close the connection is dropped quietly: no QUIT, nothing waited for.
    ~FtpClient() override;
    FtpClient(const FtpClient &) = delete;
    FtpClient &operator=(const FtpClient &) = delete;

    // Appends one time-stamped line per command and reply to the log at path (mode 0 turns
    // the log off, any other mode appends). The password is written as "****". Past 1 MiB
    // the log is renamed to path + ".1". Returns 0, or -1 when the file cannot be opened;
    // a log that cannot be written never fails any other call.
    qint16 OpenLog(const QString &path, qint16 mode) override;

    // 0 connected and logged in (under TLS also PBSZ 0 and PROT P accepted).
    // 1 the greeting was not 220 (a 120 before it is waited out), or under TLS: the server
    //   refused AUTH TLS, or its certificate was not trusted (nothing sent after either).
    // 2 USER refused (4xx/5xx), or the user name holds a control character (nothing sent).
    // 3 PASS refused (4xx/5xx), or the password holds a control character (nothing sent).
    // 4 a reply that fits no step: 332 (accounts are not supported), an unexpected code,
    //   text that is no FTP reply after the greeting, or PBSZ or PROT refused.
    // 5 the server answered 421 or closed the connection.
    // -1 the socket could not be opened: empty or unreadable server, host not found,
    //    connection refused.
    // -2 time-out (connecting, or any reply), or the cancel flag was raised.
    // 10000 + QAbstractSocket::SocketError for any other socket error, at most 32767.
    // server is a host name, an IPv4 or IPv6 address ("[::1]:2121" with a port), optionally
    // with ":port"; port 21 when absent. "ftpes://" before it asks for explicit TLS, "ftps://"
    // for implicit TLS (port 990 when absent). A failed TLS handshake reads as 10000 + the
    // socket error.
    qint16 Connect(const QString &server, const QString &user, const QString &password) override;

    // Sends one command line (no line end) and returns the first digit of the final reply
    // code (2 for a successful "CWD "). Negative: -1 no session or it ended before the
    // reply, -2 time-out, -3 cancelled, -4 the line holds a control character (not sent),
    // -5 the server's answer was no reply or too long. After -2, -3 and -5, and after a
    // 421, the session is over and later calls return -1.
    qint16 Command(const QString &line) override;

    // Stores a local file in the current remote directory, under remoteName or, when that
    // is empty, under the local file's own name. 1 sent (the server confirmed with 2xx
    // after the last byte); 0 the local file does not exist (checked before anything is
    // sent, so the remote copy is untouched); negative any other failure: -1 to -5 as for
    // Command, -6 the data connection could not be opened, -7 the local file cannot be
    // read, -8 the data connection broke or the server confirmed before the last byte, or
    // minus the code of the reply that refused (-550, -426, -421...).
    // The data follows STOR at once, without waiting for the server's preliminary reply,
    // which saves a round trip per file. A server that drops data which got there before the
    // command (it resets the data connection, or answers 425 or 426) gets that file once
    // more, the data waiting for its preliminary reply, and so does every later file of the
    // session. Empty files always wait. A pipelined store that fails in any way the classic
    // order would have avoided (a time-out after the data, the connection lost) also ends the
    // pipelining: fellBackToClassic() then tells the caller, who should start later clients to
    // that server in the classic order.
    qint16 PutFile(const QString &localPath, const QString &remoteName) override;

    // "DELE remoteName" in the current remote directory: 1 on 2xx, 0 on 550 (no such file;
    // a server gives the same code for a file it will not remove, which then stays and is
    // not asked about again), negative as for Command or minus any other refusing code.
    qint16 RemoveFile(const QString &remoteName) override;

    // Sends QUIT and closes the connection without waiting for the answer.
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

    // Raised from another thread to abandon whatever call is running.
    void setCancelFlag(const std::atomic_bool *cancel) override;
    // The limit on connecting, on each reply and on the data connection (which may take as
    // long as it keeps making progress). 25 s unless set.
    void setTimeout(std::chrono::milliseconds timeout) override;

    // What the session cost on the wire so far.
    WireStats wireStats() const override;

private:
    std::unique_ptr<FtpSession> d;
};

} // namespace Kakiva
