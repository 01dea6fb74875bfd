#include "publish/ftp/FtpPassiveData.h"

#include "publish/ftp/FtpResult.h"
#include "publish/ftp/FtpSession.h"

#include <QSslSocket>

namespace Kakiva {

namespace {

constexpr int ExtendedPassiveDone = 229;
constexpr int PassiveDone = 227;

// The port of a reply to the passive request the server is known to take.
std::optional<qint16> portOf(FtpSession &session, const FtpReply &reply, quint16 *port)
{
    const bool extended = session.passive == FtpSession::Passive::Extended;
    if (reply.code != (extended ? ExtendedPassiveDone : PassiveDone))
        return serverRefusal(reply);
    const auto found = extended ? extendedPassivePort(reply) : passivePort(reply);
    if (!found)
        return FtpResult::BadReply;
    *port = *found;
    return std::nullopt;
}

std::optional<qint16> requestPassivePort(FtpSession &session, quint16 *port)
{
    using Passive = FtpSession::Passive;
    FtpReply reply;
    if (session.passive == Passive::Untried) {
        if (const FtpStatus s = session.exchange("EPSV", &reply); s != FtpStatus::Ok)
            return session.commandFailure(s);
        // A server that has never heard of EPSV says so with a 5xx; one that knew it and now
        // fails is in trouble PASV would not cure.
        if (reply.code == ExtendedPassiveDone) {
            session.passive = Passive::Extended;
            return portOf(session, reply, port);
        }
        if (reply.digit() != 5)
            return serverRefusal(reply);
        session.log.note(QStringLiteral("EPSV not supported; using PASV for this session"));
        session.passive = Passive::Classic;
    }
    if (const FtpStatus s = session.exchange(knownPassiveRequest(session), &reply);
        s != FtpStatus::Ok)
        return session.commandFailure(s);
    return portOf(session, reply, port);
}

} // namespace

QByteArray knownPassiveRequest(const FtpSession &session)
{
    switch (session.passive) {
    case FtpSession::Passive::Extended:
        return "EPSV";
    case FtpSession::Passive::Classic:
        return "PASV";
    default:
        return {};
    }
}

std::optional<qint16> readPassivePort(FtpSession &session, quint16 *port)
{
    FtpReply reply;
    if (const FtpStatus s = session.control.readFinalReply(&reply); s != FtpStatus::Ok)
        return session.commandFailure(s);
    return portOf(session, reply, port);
}

std::optional<qint16> connectPassiveData(FtpSession &session, QSslSocket &data, quint16 port)
{
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

std::optional<qint16> openPassiveData(FtpSession &session, QSslSocket &data)
{
    quint16 port = 0;
    if (const std::optional<qint16> failure = requestPassivePort(session, &port))
        return failure;
    return connectPassiveData(session, data, port);
}

} // namespace Kakiva
