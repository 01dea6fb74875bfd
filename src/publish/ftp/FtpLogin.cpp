#include "publish/ftp/FtpLogin.h"

#include "publish/client/ServerAddress.h"
#include "publish/ftp/FtpResult.h"
#include "publish/ftp/FtpSession.h"

#include <QSslSocket>

namespace Kakiva {

namespace {

qint16 openFailure(const FtpSession &session, FtpStatus status)
{
    if (status == FtpStatus::Failed) {
        switch (session.control.lastError()) {
        case QAbstractSocket::HostNotFoundError:
        case QAbstractSocket::ConnectionRefusedError:
            return FtpResult::Connect::SocketNotOpened;
        default:
            break;
        }
    }
    return session.connectFailure(status, FtpResult::Connect::UnexpectedReply);
}

qint16 refused(const FtpReply &reply, qint16 refusal)
{
    if (reply.isServiceClosing())
        return FtpResult::Connect::ClosedByServer;
    return reply.isRefusal() ? refusal : FtpResult::Connect::UnexpectedReply;
}

qint16 greet(FtpSession &session)
{
    FtpReply reply;
    if (const FtpStatus s = session.control.readFinalReply(&reply); s != FtpStatus::Ok)
        return session.connectFailure(s, FtpResult::Connect::SessionRefused);
    if (reply.code != 220)
        return reply.isServiceClosing() ? FtpResult::Connect::ClosedByServer
                                        : FtpResult::Connect::SessionRefused;
    return FtpResult::Connect::Connected;
}

QStringList problemsOf(const QList<QSslError> &errors)
{
    QStringList problems;
    for (const QSslError &error : errors)
        problems.append(error.errorString());
    return problems;
}

// Bytes in clear before the handshake end the session: after AUTH TLS's 234 they can only be
// someone else's words, and a server that talks before an implicit handshake speaks no TLS.
qint16 handshakeFailure(const FtpSession &session, FtpStatus status, FtpSecurity security)
{
    if (status == FtpStatus::BadReply)
        return security == FtpSecurity::Implicit ? FtpResult::Connect::TlsHandshakeRefused
                                                 : FtpResult::Connect::UnexpectedReply;
    if (status == FtpStatus::Failed &&
        session.control.lastError() == QAbstractSocket::SslHandshakeFailedError)
        return handshakeFailureResult(session.control.handshakeAlerts());
    return session.connectFailure(status, FtpResult::Connect::UnexpectedReply);
}

// The handshake has been made, nothing else sent: the certificate is accepted when it
// verifies, or when the certificate check says so.
qint16 secure(FtpSession &session, const ServerAddress &address)
{
    if (const FtpStatus s = session.control.startTls(address.host); s != FtpStatus::Ok)
        return handshakeFailure(session, s, address.security);
    const QSslSocket &tls = *session.control.tls();
    const QList<QSslError> errors = tls.sslHandshakeErrors();
    if (!errors.isEmpty()) {
        const CertificateQuestion question{address.hostAndPort(), tls.peerCertificate(),
                                           problemsOf(errors)};
        session.log.note(QStringLiteral("the certificate does not verify: %1")
                             .arg(question.problems.join(QStringLiteral("; "))));
        if (!session.certificateCheck || !session.certificateCheck(question)) {
            session.log.note(QStringLiteral("certificate not trusted; nothing sent"));
            return FtpResult::Connect::SessionRefused;
        }
        session.log.note(QStringLiteral("certificate trusted"));
    }
    session.tlsPeerName = address.host;
    session.tlsCertificate = tls.peerCertificate();
    return FtpResult::Connect::Connected;
}

// Explicit TLS: nothing but AUTH TLS goes out in clear, and a server that refuses it gets
// nothing more.
qint16 authTls(FtpSession &session, const ServerAddress &address)
{
    FtpReply reply;
    if (const FtpStatus s = session.exchange("AUTH TLS", &reply); s != FtpStatus::Ok)
        return session.connectFailure(s, FtpResult::Connect::UnexpectedReply);
    if (reply.code != 234) {
        session.log.note(QStringLiteral("the server refused TLS; nothing more sent"));
        return reply.isServiceClosing() ? FtpResult::Connect::ClosedByServer
                                        : FtpResult::Connect::SessionRefused;
    }
    return secure(session, address);
}

qint16 logIn(FtpSession &session, const QString &user, const QString &password)
{
    FtpReply reply;
    if (const FtpStatus s = session.exchange("USER " + user.toUtf8(), &reply); s != FtpStatus::Ok)
        return session.connectFailure(s, FtpResult::Connect::UnexpectedReply);
    if (reply.code == 230)
        return FtpResult::Connect::Connected;
    if (reply.code != 331)
        return refused(reply, FtpResult::Connect::UserRefused);
    if (const FtpStatus s = session.exchange("PASS " + password.toUtf8(), &reply);
        s != FtpStatus::Ok)
        return session.connectFailure(s, FtpResult::Connect::UnexpectedReply);
    if (reply.code == 230 || reply.code == 202)
        return FtpResult::Connect::Connected;
    return refused(reply, FtpResult::Connect::PasswordRefused);
}

// Data connections are TLS too. PBSZ and PROT go out together: neither depends on the
// other's answer, and both must be accepted. The session is taken only now: under TLS 1.3
// the server sends it after the handshake, and the login replies have surely brought it.
qint16 protectData(FtpSession &session)
{
    const QList<QByteArray> lines{"PBSZ 0", "PROT P"};
    for (const QByteArray &line : lines) {
        if (const FtpStatus s = session.control.send(line); s != FtpStatus::Ok)
            return session.connectFailure(s, FtpResult::Connect::UnexpectedReply);
    }
    for (qsizetype i = 0; i < lines.size(); ++i) {
        FtpReply reply;
        if (const FtpStatus s = session.control.readFinalReply(&reply); s != FtpStatus::Ok)
            return session.connectFailure(s, FtpResult::Connect::UnexpectedReply);
        if (!reply.isSuccess())
            return refused(reply, FtpResult::Connect::UnexpectedReply);
    }
    session.tlsSession = session.control.tls()->sslConfiguration().sessionTicket();
    if (session.tlsSession.isEmpty())
        session.log.note(QStringLiteral("the server gave no TLS session to resume"));
    return FtpResult::Connect::Connected;
}

qint16 openAndGreet(FtpSession &session, const ServerAddress &address)
{
    if (const FtpStatus s = session.control.open(address); s != FtpStatus::Ok)
        return openFailure(session, s);
    if (address.security == FtpSecurity::Implicit) {
        if (const qint16 result = secure(session, address); result != FtpResult::Connect::Connected)
            return result;
    }
    if (const qint16 result = greet(session); result != FtpResult::Connect::Connected)
        return result;
    return address.security == FtpSecurity::Explicit ? authTls(session, address)
                                                     : FtpResult::Connect::Connected;
}

} // namespace

qint16 openAndLogIn(FtpSession &session, const ServerAddress &address, const QString &user,
                    const QString &password)
{
    qint16 result = openAndGreet(session, address);
    if (result == FtpResult::Connect::Connected)
        result = logIn(session, user, password);
    if (result == FtpResult::Connect::Connected && session.isTls())
        result = protectData(session);
    if (result != FtpResult::Connect::Connected)
        session.end();
    return result;
}

} // namespace Kakiva
