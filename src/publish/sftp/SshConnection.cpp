#include "publish/sftp/SshConnection.h"

#include "publish/client/SessionLog.h"
#include "publish/client/WireText.h"
#include "publish/sftp/SftpRemotePath.h"
#include "publish/sftp/SftpResult.h"
#include "publish/sftp/SshSocket.h"

#include <QFile>

#include <libssh/libssh.h>

#include <unistd.h>

namespace Kakiva {

namespace {

using Outcome = SshWait::Outcome;

// Runs a non-blocking step of the library until it stops asking to be called again.
template <typename Step>
int repeat(ssh_session session, SshWait &wait, int again, Outcome *outcome, Step step)
{
    wait.restart();
    for (;;) {
        const int rc = step();
        *outcome = Outcome::Go;
        if (rc != again)
            return rc;
        *outcome = wait.forSession(session);
        if (*outcome != Outcome::Go)
            return rc;
    }
}

bool closedByServer(ssh_session session)
{
    return (ssh_get_status(session) & SSH_CLOSED) != 0 || !ssh_is_connected(session);
}

} // namespace

SshConnection::~SshConnection()
{
    drop();
}

qint16 SshConnection::open(const ServerAddress &address, const QString &user,
                           const QString &password, const SshConnectOptions &options, SshWait &wait)
{
    drop();
    if (!isSendable(user) || !isSendable(password))
        return failure(SftpResult::NoUsableAuth, QStringLiteral("login refused before sending"));
    if (const qint16 result = handshake(address, user, options.knownHosts, wait);
        result != SftpResult::Connected)
        return result;
    if (const qint16 result = checkHostKey(address, options); result != SftpResult::Connected)
        return result;
    if (const qint16 result = logIn(password, wait); result != SftpResult::Connected)
        return result;
    return openChannel(wait);
}

qint16 SshConnection::handshake(const ServerAddress &address, const QString &user,
                                const KnownHostsFiles &knownHosts, SshWait &wait)
{
    m_log.note(QStringLiteral("SSH connecting to %1 port %2").arg(address.host).arg(address.port));
    const SshSocket socket = openSshSocket(address.host, address.port, wait);
    if (socket.failure == SshSocket::Failure::NotOpened)
        return failure(SftpResult::SocketNotOpened, socket.error);
    if (socket.failure != SshSocket::Failure::None)
        return failure(SftpResult::ConnectTimedOut, socket.error);

    m_session = ssh_new();
    if (!m_session) {
        ::close(socket.fd);
        return failure(SftpResult::SocketNotOpened, QStringLiteral("no SSH session"));
    }
    const int fd = socket.fd;
    const unsigned int port = address.port;
    const bool no = false;
    ssh_options_set(m_session, SSH_OPTIONS_FD, &fd); // the session closes it from now on
    ssh_options_set(m_session, SSH_OPTIONS_HOST, address.host.toUtf8().constData());
    ssh_options_set(m_session, SSH_OPTIONS_PORT, &port);
    ssh_options_set(m_session, SSH_OPTIONS_USER, user.toUtf8().constData());
    // The settings file is the whole configuration: ~/.ssh/config must not redirect it.
    ssh_options_set(m_session, SSH_OPTIONS_PROCESS_CONFIG, &no);
    useKnownHostsFiles(m_session, knownHosts);
    ssh_set_blocking(m_session, 0);

    Outcome outcome;
    const int rc =
        repeat(m_session, wait, SSH_AGAIN, &outcome, [&] { return ssh_connect(m_session); });
    if (rc != SSH_OK) {
        return failureOn(outcome,
                         closedByServer(m_session) && !ssh_get_serverbanner(m_session)
                             ? SftpResult::ClosedByServer
                             : SftpResult::HandshakeFailed,
                         QStringLiteral("SSH handshake"));
    }
    m_log.received(QString::fromUtf8(ssh_get_serverbanner(m_session)));
    return SftpResult::Connected;
}

qint16 SshConnection::checkHostKey(const ServerAddress &address,
                                   const SshConnectOptions &options)
{
    const auto check = Kakiva::checkHostKey(m_session, address.host, address.port);
    if (!check)
        return failure(SftpResult::HandshakeFailed, QStringLiteral("no host key"));
    const HostKeyQuestion &question = check->question;
    const QString state = check->known       ? QStringLiteral("known")
                          : question.changed ? QStringLiteral("CHANGED")
                                             : QStringLiteral("unknown");
    m_log.note(
        QStringLiteral("host key %1 %2 %3").arg(question.keyType, question.fingerprint, state));
    if (check->known)
        return SftpResult::Connected;
    if (!options.trust || !options.trust(question))
        return failure(SftpResult::HostKeyNotTrusted, QStringLiteral("host key not trusted"));
    QString error;
    if (pinHostKey(m_session, options.knownHosts.own, &error))
        m_log.note(QStringLiteral("host key trusted and added to ") + options.knownHosts.own);
    else
        m_log.note(QStringLiteral("host key trusted for this connection only: ") + error);
    return SftpResult::Connected;
}

qint16 SshConnection::logIn(const QString &password, SshWait &wait)
{
    const bool withPassword = !password.isEmpty();
    m_log.note(withPassword ? QStringLiteral("authenticating with the password")
                            : QStringLiteral("authenticating with the agent's and default keys"));
    const QByteArray secret = password.toUtf8();
    Outcome outcome;
    const int rc = repeat(m_session, wait, SSH_AUTH_AGAIN, &outcome, [&] {
        return withPassword ? ssh_userauth_password(m_session, nullptr, secret.constData())
                            : ssh_userauth_publickey_auto(m_session, nullptr, nullptr);
    });
    if (rc == SSH_AUTH_SUCCESS) {
        m_log.note(QStringLiteral("authenticated"));
        return SftpResult::Connected;
    }
    if (rc == SSH_AUTH_DENIED || rc == SSH_AUTH_PARTIAL) {
        const int methods = ssh_userauth_list(m_session, nullptr);
        const int wanted = withPassword ? SSH_AUTH_METHOD_PASSWORD : SSH_AUTH_METHOD_PUBLICKEY;
        return failure((methods & wanted) ? SftpResult::PasswordRefused : SftpResult::NoUsableAuth,
                       QStringLiteral("authentication refused"));
    }
    return failureOn(outcome,
                     closedByServer(m_session) ? SftpResult::ClosedByServer
                                               : SftpResult::PasswordRefused,
                     QStringLiteral("authentication"));
}

qint16 SshConnection::openChannel(SshWait &wait)
{
    m_channel = ssh_channel_new(m_session);
    if (!m_channel)
        return failure(SftpResult::SubsystemRefused, QStringLiteral("no channel"));
    Outcome outcome;
    const int rc = repeat(m_session, wait, SSH_AGAIN, &outcome,
                          [&] { return ssh_channel_open_session(m_channel); });
    if (rc != SSH_OK) {
        return failureOn(outcome,
                         closedByServer(m_session) ? SftpResult::ClosedByServer
                                                   : SftpResult::SubsystemRefused,
                         QStringLiteral("session channel"));
    }
    return SftpResult::Connected;
}

qint16 SshConnection::failure(qint16 result, const QString &what)
{
    QString detail;
    if (m_session && ssh_get_error_code(m_session) != SSH_NO_ERROR)
        detail = QStringLiteral(": ") + QString::fromUtf8(ssh_get_error(m_session));
    m_log.note(QStringLiteral("%1 failed (%2)%3").arg(what).arg(result).arg(detail));
    drop();
    return result;
}

qint16 SshConnection::failureOn(Outcome outcome, qint16 otherwise, const QString &what)
{
    if (outcome == Outcome::Cancelled)
        return failure(SftpResult::ConnectTimedOut, what + QStringLiteral(" cancelled"));
    if (outcome == Outcome::TimedOut)
        return failure(SftpResult::ConnectTimedOut, what + QStringLiteral(" timed out"));
    return failure(otherwise, what);
}

void SshConnection::close()
{
    // The channel's end goes out at once; ssh_disconnect is not used, since after it the
    // library no longer closes a socket it was handed.
    if (m_channel) {
        ssh_channel_send_eof(m_channel);
        ssh_channel_close(m_channel);
    }
    drop();
}

void SshConnection::drop()
{
    if (m_channel) {
        ssh_channel_free(m_channel);
        m_channel = nullptr;
    }
    if (m_session) {
        ssh_free(m_session);
        m_session = nullptr;
    }
}

} // namespace Kakiva
