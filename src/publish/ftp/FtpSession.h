#pragma once

#include "publish/ftp/FtpControlChannel.h"
#include "publish/client/SessionLog.h"
#include "publish/ftp/FtpFeatures.h"
#include "publish/ftp/FtpReply.h"
#include "publish/ftp/FtpSocketWait.h"
#include "publish/ftp/FtpStatus.h"
#include "publish/ftp/FtpTls.h"
#include "publish/client/WireStats.h"

#include <QByteArray>

#include <functional>
#include <optional>

namespace Kakiva {

// What one login shares between its calls: the log, the counters, the wait settings, the
// control connection and what has been learnt about the server so far.
struct FtpSession
{
    enum class Passive
    {
        Untried,
        Extended,
        Classic
    };

    SessionLog log;
    WireStats stats;
    FtpWaitSettings waits;
    FtpControlChannel control{log, stats, waits};
    bool binaryType = false;
    Passive passive = Passive::Untried;
    // Data follows STOR at once until the server drops data that came ahead of its STOR.
    bool pipeliningWanted = true; // what a new login starts with
    bool pipelining = true;
    // A pipelined store failed in a way the classic order avoids; kept across logins.
    bool fellBackToClassic = false;
    // What FEAT offered, asked once per login by the first listing.
    std::optional<FtpFeatures> features;
    // HASH was answered as a command the server does not know, whatever FEAT said.
    bool hashUnknown = false;
    // Whether the server tells SHA-256 digests, as last found out; kept across logins.
    std::optional<bool> digestsOffered;

    // Asked about a certificate that does not verify; without it, such a one is refused.
    std::function<bool(const CertificateQuestion &)> certificateCheck;
    // Under TLS: the host the certificates must name, the control connection's certificate
    // as accepted (data connections must show the same) and its session, which every data
    // connection resumes.
    QString tlsPeerName;
    QSslCertificate tlsCertificate;
    QByteArray tlsSession;

    bool isTls() const { return !tlsCertificate.isNull(); }

    // Drops the connection and forgets what was learnt about the server and its TLS.
    void end();
    FtpStatus exchange(const QByteArray &line, FtpReply *reply);
    // Takes FEAT's reply (a refusal offers nothing).
    void learnFeatures(const FtpReply &reply);
    // HASH was not understood.
    void learnHashUnknown();
    // "TYPE I", once per login: binaryType says whether the server took it; a refusal is in
    // *reply. Ok unless the conversation failed.
    FtpStatus useBinaryType(FtpReply *reply);

    // The result values for a status other than Ok: of Connect (forBadReply for text that
    // is no reply), and of Command and PutFile.
    qint16 connectFailure(FtpStatus status, qint16 forBadReply) const;
    qint16 commandFailure(FtpStatus status) const;
};

// PutFile's answer to a refusing reply: minus its code.
qint16 serverRefusal(const FtpReply &reply);

} // namespace Kakiva
