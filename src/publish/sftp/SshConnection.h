#pragma once

#include "publish/client/ServerAddress.h"
#include "publish/sftp/SshHostKeys.h"
#include "publish/sftp/SshWait.h"

#include <QString>

struct ssh_session_struct;
struct ssh_channel_struct;

namespace Kakiva {

class SessionLog;

// What a connection needs besides the address and the login.
struct SshConnectOptions
{
    KnownHostsFiles knownHosts;
    HostKeyTrust trust; // none: every unknown key is refused
};

// One SSH connection up to an open session channel: the TCP connection, the handshake, the
// host key check (before any authentication), the login and the channel. Every step
// runs without blocking and waits through SshWait.
class SshConnection
{
public:
    explicit SshConnection(SessionLog &log) : m_log(log) {}
    // Drops the connection quietly.
    ~SshConnection();
    SshConnection(const SshConnection &) = delete;
    SshConnection &operator=(const SshConnection &) = delete;

    // A Connect result (SftpResult.h); 0 with the channel open. An empty password logs in with the
    // keys of the user's SSH agent and default key files.
    qint16 open(const ServerAddress &address, const QString &user, const QString &password,
                const SshConnectOptions &options, SshWait &wait);

    bool isOpen() const { return m_channel != nullptr; }
    ssh_session_struct *session() const { return m_session; }
    ssh_channel_struct *channel() const { return m_channel; }

    // Ends the channel and the connection without waiting for an answer.
    void close();
    // Lets go of everything at once, saying nothing.
    void drop();

private:
    qint16 handshake(const ServerAddress &address, const QString &user,
                     const KnownHostsFiles &knownHosts, SshWait &wait);
    qint16 handshakeFailure() const;
    qint16 checkHostKey(const ServerAddress &address, const SshConnectOptions &options);
    qint16 logIn(const QString &password, SshWait &wait);
    qint16 openChannel(SshWait &wait);
    qint16 failure(qint16 result, const QString &what);
    qint16 failureOn(SshWait::Outcome outcome, qint16 otherwise, const QString &what);

    SessionLog &m_log;
    ssh_session_struct *m_session = nullptr;
    ssh_channel_struct *m_channel = nullptr;
};

} // namespace Kakiva
