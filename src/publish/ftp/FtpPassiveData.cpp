#include "publish/ftp/FtpPassiveData.h"

#include "publish/ftp/FtpResult.h"
#include "publish/ftp/FtpSession.h"

#include <QSslSocket>

namespace Kakiva {

namespace {

std::optional<qint16> requestPassivePort(FtpSession &session, quint16 *port)
{
    using Passive = FtpSession::Passive;
    FtpReply reply;
    if (session.passive != Passive::Classic) {
        if (const FtpStatus s = session.exchange("EPSV", &reply); s != FtpStatus::Ok)
            return session.commandFailure(s);
        if (reply.code == 229) {
            const auto extended = extendedPassivePort(reply);
            if (!extended)
                return FtpResult::BadReply;
            session.passive = Passive::Extended;
            *port = *extended;
            return std::nullopt;
        }
        // A server that has never heard of EPSV says so with a 5xx; one that knew it and now
        // fails is in trouble PASV would not cure.
        if (session.passive != Passive::Untried || reply.digit() != 5)
            return serverRefusal(reply);
        session.log.note(QStringLiteral("EPSV not supported; using PASV for this session"));
        session.passive = Passive::Classic;
    }
    if (const FtpStatus s = session.exchange("PASV", &reply); s != FtpStatus::Ok)
        return session.commandFailure(s);
    if (reply.code != 227)
        return serverRefusal(reply);
    const auto classic = passivePort(reply);
    if (!classic)
        return FtpResult::BadReply;
    *port = *classic;
    return std::nullopt;
}

} // namespace

std::optional<qint16> openPassiveData(FtpSession &session, QSslSocket &data)
{
    quint16 port = 0;
    if (const std::optional<qint16> failure = requestPassivePort(session, &port))
        return failure;
    const QHostAddress host = session.control.peerAddress();
    session.log.note(
        QStringLiteral("data connection to %1 port %2").arg(host.toString()).arg(port));
    if (session.isTls()) {
        QSslConfiguration configuration = ftpTlsConfiguration();
        configuration.setSessionTicket(session.tlsSession);
        data.setSslConfiguration(configuration);
        data.setPeerVerifyName(session.tlsPeerName);
        data.ignoreSslErrors(); // the certificate must be the control connection's
    }
    switch (connectSocket(data, host, port, session.waits.fromNow())) {
    case FtpStatus::Ok:
        if (session.isTls())
            data.startClientEncryption();
        return std::nullopt;
    case FtpStatus::TimedOut:
        session.log.note(QStringLiteral("time-out opening the data connection"));
        return FtpResult::TimedOut;
    case FtpStatus::Cancelled:
        return FtpResult::Cancelled;
    default:
        session.log.note(QStringLiteral("data connection failed: %1").arg(data.errorString()));
        return FtpResult::DataConnectionFailed;
    }
}

} // namespace Kakiva
