#include "publish/sftp/SshConnection.h"

#include "publish/client/SessionLog.h"
#include "publish/client/WireText.h"
#include "publish/sftp/SftpRemotePath.h"
#include "publish/sftp/SftpResult.h"
#include "publish/sftp/SshLogin.h"
#include "publish/sftp/SshSocket.h"

#include <QFile>

#include <libssh/libssh.h>

#include <unistd.h>

namespace Kakiva {

namespace {

using Outcome = SshWait::Outcome;

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
        return failure(SftpResult::Connect::LoginUnsendable,
                       QStringLiteral("login refused before sending"));
    if (const qint16 result = handshake(address, user, options.knownHosts, wait);
        result != SftpResult::Connect::Connected)
        return result;
    if (const qint16 result = checkHostKey(address, options);
        result != SftpResult::Connect::Connected)
        return result;
    if (const qint16 result = logIn(password, wait); result != SftpResult::Connect::Connected)
        return result;
    return openChannel(wait);
}

qint16 SshConnection::handshake(const ServerAddress &address, const QString &user,
                                const KnownHostsFiles &knownHosts, SshWait &wait)
{
    m_log.note(QStringLiteral("SSH connecting to %1 port %2").arg(address.host).arg(address.port));
    const SshSocket socket = openSshSocket(address.host, address.port, wait);
    if (socket.failure == SshSocket::Failure::NotOpened)
        return failure(SftpResult::Connect::SocketNotOpened, socket.error);
    if (socket.failure != SshSocket::Failure::None)
        return failure(SftpResult::Connect::TimedOut, socket.error);

    m_session = ssh_new();
    if (!m_session) {
        ::close(socket.fd);
        return failure(SftpResult::Connect::SocketNotOpened, QStringLiteral("no SSH session"));
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
    for (const QString &path : useKnownHostsFiles(m_session, knownHosts))
        m_log.note(QStringLiteral("known hosts not a regular file, not read: ") + path);
    ssh_set_blocking(m_session, 0);

    Outcome outcome;
    const int rc =
        wait.repeat(m_session, SSH_AGAIN, &outcome, [&] { return ssh_connect(m_session); });
    if (rc != SSH_OK)
        return failureOn(outcome, handshakeFailure(), QStringLiteral("SSH handshake"));
    m_log.received(QString::fromUtf8(ssh_get_serverbanner(m_session)));
    m_log.note(QStringLiteral("agreed: key exchange %1, cipher %2 / %3, MAC %4 / %5")
                   .arg(QString::fromUtf8(ssh_get_kex_algo(m_session)),
                        QString::fromUtf8(ssh_get_cipher_out(m_session)),
                        QString::fromUtf8(ssh_get_cipher_in(m_session)),
                        QString::fromUtf8(ssh_get_hmac_out(m_session)),
                        QString::fromUtf8(ssh_get_hmac_in(m_session))));
    return SftpResult::Connect::Connected;
}

// The library names both sides' lists when no algorithm of one kind is in common; the log
// takes its message as it is.
qint16 SshConnection::handshakeFailure() const
{
    if (closedByServer(m_session) && !ssh_get_serverbanner(m_session))
        return SftpResult::Connect::ClosedByServer;
    if (QByteArray(ssh_get_error(m_session)).contains("no match for method"))
        return SftpResult::Connect::NoCommonAlgorithm;
    return SftpResult::Connect::HandshakeFailed;
}

qint16 SshConnection::checkHostKey(const ServerAddress &address, const SshConnectOptions &options)
{
    const auto check = Kakiva::checkHostKey(m_session, address.host, address.port,
                                            options.knownHosts);
    if (!check)
        return failure(SftpResult::Connect::HandshakeFailed, QStringLiteral("no host key"));
    const HostKeyQuestion &question = check->question;
    const QString state = check->known       ? QStringLiteral("known")
                          : question.changed ? QStringLiteral("CHANGED")
                                             : QStringLiteral("unknown");
    m_log.note(
        QStringLiteral("host key %1 %2 %3").arg(question.keyType, question.fingerprint, state));
    if (check->known)
        return SftpResult::Connect::Connected;
    if (!options.trust || !options.trust(question))
        return failure(SftpResult::Connect::HostKeyNotTrusted,
                       QStringLiteral("host key not trusted"));
    QString error;
    bool damaged = false;
    const bool pinned = pinHostKey(m_session, options.knownHosts.own, &damaged, &error);
    if (damaged)
        m_log.note(QStringLiteral("unreadable lines left out of %1, kept beside it as it was")
                       .arg(options.knownHosts.own));
    if (pinned)
        m_log.note(QStringLiteral("host key trusted and added to ") + options.knownHosts.own);
    else
        m_log.note(QStringLiteral("host key trusted for this connection only: ") + error);
    return SftpResult::Connect::Connected;
}

qint16 SshConnection::logIn(const QString &password, SshWait &wait)
{
    const SshLoginResult login = sshLogIn(m_session, password, wait, m_log);
    if (login.result == SftpResult::Connect::Connected)
        return SftpResult::Connect::Connected;
    return failureOn(login.outcome, login.result, login.what);
}

qint16 SshConnection::openChannel(SshWait &wait)
{
    m_channel = ssh_channel_new(m_session);
    if (!m_channel)
        return failure(SftpResult::Connect::SubsystemRefused, QStringLiteral("no channel"));
    Outcome outcome;
    const int rc = wait.repeat(m_session, SSH_AGAIN, &outcome,
                               [&] { return ssh_channel_open_session(m_channel); });
    if (rc != SSH_OK) {
        return failureOn(outcome,
                         closedByServer(m_session) ? SftpResult::Connect::ClosedByServer
                                                   : SftpResult::Connect::SubsystemRefused,
                         QStringLiteral("session channel"));
    }
    return SftpResult::Connect::Connected;
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
        return failure(SftpResult::Connect::TimedOut, what + QStringLiteral(" cancelled"));
    if (outcome == Outcome::TimedOut)
        return failure(SftpResult::Connect::TimedOut, what + QStringLiteral(" timed out"));
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
