#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A real FTP server (pyftpdlib, run by the system's Python) on a free loopback port, with a
// fresh home directory and one user, for the tests that must see a real server's behaviour.
// The interpreter is $KAKIVA_PYTHON, /usr/bin/python3 when unset. Everything is removed when
// the fixture goes, and the server also ends by itself should the test process die.
class PyFtpServer
{
public:
    // TLS required for login and data, with this certificate and key: explicit (AUTH TLS)
    // or implicit (TLS from the first byte).
    struct Tls
    {
        QString certificate;
        QString key;
        bool implicit = false;
    };

    // host is the address to listen on: "127.0.0.1" or "::1". maxConnectionsPerAddress, when
    // not 0, is how many connections from one address the server takes at once. Without
    // offersMlsd the server lists only by LIST, as vsftpd does.
    explicit PyFtpServer(const QString &host = QStringLiteral("127.0.0.1"),
                         int maxConnectionsPerAddress = 0, bool offersMlsd = true);
    PyFtpServer(const QString &host, const Tls &tls);
    ~PyFtpServer();
    PyFtpServer(const PyFtpServer &) = delete;
    PyFtpServer &operator=(const PyFtpServer &) = delete;

    bool isRunning() const { return m_port != 0; }
    // Why the server did not start, for the test's failure message.
    QString errorString() const { return m_error; }

    quint16 port() const { return m_port; }
    QString host() const { return m_host; }
    // The server setting that reaches it: "127.0.0.1:port" or "[::1]:port", behind
    // "ftpes://" or "ftps://" under TLS.
    QString serverString() const;
    QString user() const { return QStringLiteral("diarist"); }
    QString password() const { return QStringLiteral("pw-4-tests"); }

    // The server's root directory on disk; remote paths are relative to it.
    QString homePath() const { return m_dir.filePath(QStringLiteral("home")); }
    QByteArray remoteFile(const QString &remotePath) const;

    // Every command line the server received so far, as received.
    QStringList commands() const;

private:
    void start();
    QString m_host;
    int m_maxConnectionsPerAddress = 0;
    bool m_offersMlsd = true;
    Tls m_tls;
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_error;
};
