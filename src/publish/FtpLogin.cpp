#include "publish/FtpLogin.h"

#include "publish/FtpResult.h"
#include "publish/FtpServerAddress.h"
#include "publish/FtpSession.h"

namespace Kakiva {

namespace {

qint16 openFailure(const FtpSession &session, FtpStatus status)
{
    if (status == FtpStatus::Failed) {
        switch (session.control.lastError()) {
        case QAbstractSocket::HostNotFoundError:
        case QAbstractSocket::ConnectionRefusedError:
            return FtpResult::SocketNotOpened;
        default:
            break;
        }
    }
    return session.connectFailure(status, FtpResult::UnexpectedReply);
}

qint16 refused(const FtpReply &reply, qint16 refusal)
{
    if (reply.isServiceClosing())
        return FtpResult::ClosedByServer;
    return reply.isRefusal() ? refusal : FtpResult::UnexpectedReply;
}

qint16 greet(FtpSession &session)
{
    FtpReply reply;
    if (const FtpStatus s = session.control.readFinalReply(&reply); s != FtpStatus::Ok)
        return session.connectFailure(s, FtpResult::BadGreeting);
    if (reply.code != 220)
        return reply.isServiceClosing() ? FtpResult::ClosedByServer : FtpResult::BadGreeting;
    return FtpResult::Connected;
}

qint16 logIn(FtpSession &session, const QString &user, const QString &password)
{
    FtpReply reply;
    if (const FtpStatus s = session.exchange("USER " + user.toUtf8(), &reply); s != FtpStatus::Ok)
        return session.connectFailure(s, FtpResult::UnexpectedReply);
    if (reply.code == 230)
        return FtpResult::Connected;
    if (reply.code != 331)
        return refused(reply, FtpResult::UserRefused);
    if (const FtpStatus s = session.exchange("PASS " + password.toUtf8(), &reply);
        s != FtpStatus::Ok)
        return session.connectFailure(s, FtpResult::UnexpectedReply);
    if (reply.code == 230 || reply.code == 202)
        return FtpResult::Connected;
    return refused(reply, FtpResult::PasswordRefused);
}

} // namespace

qint16 openAndLogIn(FtpSession &session, const FtpServerAddress &address, const QString &user,
                    const QString &password)
{
    if (const FtpStatus s = session.control.open(address); s != FtpStatus::Ok)
        return openFailure(session, s);
    qint16 result = greet(session);
    if (result == FtpResult::Connected)
        result = logIn(session, user, password);
    if (result != FtpResult::Connected)
        session.end();
    return result;
}

} // namespace Kakiva
