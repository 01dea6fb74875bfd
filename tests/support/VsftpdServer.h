#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// vsftpd on a free loopback port, as strict as many hosts run it: TLS required for login and
// data, and a data connection must resume the control connection's TLS session
// (require_ssl_reuse). It logs in a local user through PAM, so it needs root to create that
// user and to run: otherwise it does not start, and needsRoot() says why.
class VsftpdServer
{
public:
    VsftpdServer(const QString &certificate, const QString &key, bool implicit);
    ~VsftpdServer();
    VsftpdServer(const VsftpdServer &) = delete;
    VsftpdServer &operator=(const VsftpdServer &) = delete;

    static bool needsRoot();
    bool isRunning() const { return m_port != 0; }
    QString errorString() const { return m_error; }

    quint16 port() const { return m_port; }
    QString serverString() const;
    QString user() const { return QStringLiteral("kakivaftp"); }
    QString password() const { return QStringLiteral("pw-4-tls-tests"); }
    QString homePath() const { return m_dir.filePath(QStringLiteral("home")); }
    QByteArray remoteFile(const QString &remotePath) const;
    // The command lines from vsftpd's protocol log, the password as it masks it.
    QStringList commands() const;

private:
    bool prepare(const QString &certificate, const QString &key, quint16 port);

    bool m_implicit;
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_error;
};
