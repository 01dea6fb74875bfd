#include "publish/ftp/FtpSession.h"

#include "publish/ftp/FtpResult.h"

namespace Kakiva {

void FtpSession::end()
{
    control.drop();
    binaryType = false;
    passive = Passive::Untried;
    features.reset();
    hashUnknown = false;
    pipelining = pipeliningWanted;
    tlsPeerName.clear();
    tlsCertificate.clear();
    tlsSession.clear();
}

FtpStatus FtpSession::exchange(const QByteArray &line, FtpReply *reply)
{
    const FtpStatus sent = control.send(line);
    return sent == FtpStatus::Ok ? control.readFinalReply(reply) : sent;
}

void FtpSession::learnFeatures(const FtpReply &reply)
{
    features = parseFeatures(reply);
    digestsOffered = features->hashSha256 && !hashUnknown;
}

void FtpSession::learnHashUnknown()
{
    hashUnknown = true;
    digestsOffered = false;
}

FtpStatus FtpSession::useBinaryType(FtpReply *reply)
{
    if (binaryType)
        return FtpStatus::Ok;
    const FtpStatus status = exchange("TYPE I", reply);
    binaryType = status == FtpStatus::Ok && reply->isSuccess();
    return status;
}

qint16 FtpSession::connectFailure(FtpStatus status, qint16 forBadReply) const
{
    switch (status) {
    case FtpStatus::TimedOut:
    case FtpStatus::Cancelled:
        return FtpResult::Connect::TimedOut;
    case FtpStatus::BadReply:
        return forBadReply;
    case FtpStatus::Failed:
        return control.lastError() == QAbstractSocket::SocketTimeoutError
                   ? FtpResult::Connect::TimedOut
                   : FtpResult::Connect::socketErrorResult(control.lastError());
    default:
        return FtpResult::Connect::ClosedByServer;
    }
}

qint16 FtpSession::commandFailure(FtpStatus status) const
{
    switch (status) {
    case FtpStatus::TimedOut:
        return FtpResult::TimedOut;
    case FtpStatus::Cancelled:
        return FtpResult::Cancelled;
    case FtpStatus::BadReply:
        return FtpResult::BadReply;
    default:
        return FtpResult::NotConnected;
    }
}

qint16 serverRefusal(const FtpReply &reply)
{
    return static_cast<qint16>(-reply.code);
}

} // namespace Kakiva
