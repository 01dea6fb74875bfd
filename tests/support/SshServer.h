#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// OpenSSH's sshd on a free loopback port with a configuration, a host key (made now) and an
// internal-sftp of its own; no system service is involved. Run as root, it logs in a user
// made for the test with a password; otherwise the invoking user logs in with a key held by
// an ssh-agent of the fixture's own (SSH_AUTH_SOCK is set for the test process). The user,
// the agent and the server go with the fixture.
struct SshServerOptions
{
    bool withSftp = true; // false leaves the "sftp" subsystem out of the configuration
    // Arguments for hostile_sftp.py, run as the "sftp" subsystem in place of sshd's own.
    QStringList hostileSftp;
    // sshd_config lines that take precedence over the fixture's own.
    QString config;
};

class SshServer
{
public:
    explicit SshServer(SshServerOptions options = {});
    ~SshServer();
    SshServer(const SshServer &) = delete;
    SshServer &operator=(const SshServer &) = delete;

    bool isRunning() const { return m_process.state() == QProcess::Running; }
    QString errorString() const { return m_error; }

    quint16 port() const { return m_port; }
    // "sftp://127.0.0.1:port", or through another port (a relay in front of the server).
    QString serverString(quint16 viaPort = 0) const;
    QString user() const { return m_user; }
    // Empty when the login goes by key through the agent.
    QString password() const { return m_password; }
    bool logsInWithPassword() const { return !m_password.isEmpty(); }
    // Puts the key into an agent of the fixture's own so an empty password logs in.
    bool startKeyAgent();
    // The private key the agent holds (its public half beside it, ".pub").
    QString clientKeyPath() const { return path(QStringLiteral("client_key")); }

    // The login directory on disk, and a file below it.
    QString homePath() const;
    QByteArray remoteFile(const QString &relative) const;
    bool remoteExists(const QString &relative) const;
    // Makes a directory or a file below the login directory, owned by the user.
    bool makeRemoteDirectory(const QString &relative);
    bool writeRemoteFile(const QString &relative, const QByteArray &bytes);

    // The host key's fingerprint as OpenSSH prints it ("SHA256:...") and its type.
    QString hostKeyFingerprint() const;
    QString hostKeyType() const { return QStringLiteral("ssh-ed25519"); }
    // Stops the server and starts it again on the same port with a new host key.
    bool restartWithNewHostKey();

    // Ends every connection the server is serving (their processes are killed).
    void killSessions();
    // The server's log so far.
    QString log() const;

private:
    bool prepare();
    bool makeUser();
    bool makeHostKey();
    bool start();
    bool giveToUser(const QString &path);
    void stop();
    bool run(const QString &program, const QStringList &arguments, const QByteArray &input = {});
    QString path(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    QProcess m_process;
    QProcess m_agent;
    quint16 m_port = 0;
    int m_hostKeys = 0;
    QString m_user;
    QString m_password;
    bool m_madeUser = false;
    SshServerOptions m_options;
    QString m_error;
};
