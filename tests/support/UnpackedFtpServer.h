#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// proftpd or pure-ftpd as Debian builds them, on a free loopback port, plain FTP. Debian
// installs only one FTP server at a time and the tests have vsftpd, so these two are unpacked
// from their packages by unpack_ftp_servers.sh (which the server runs first) and started from
// there with a private configuration and a virtual user of their own, whose files belong to
// "nobody". Starting them needs root; otherwise, or when they cannot be unpacked, the server
// does not start and errorString() says why.
class UnpackedFtpServer
{
public:
    enum class Kind
    {
        Proftpd,
        ProftpdWithDigests, // mod_digest loaded: FEAT offers HASH
        PureFtpd,
    };

    explicit UnpackedFtpServer(Kind kind);
    ~UnpackedFtpServer();
    UnpackedFtpServer(const UnpackedFtpServer &) = delete;
    UnpackedFtpServer &operator=(const UnpackedFtpServer &) = delete;

    bool isRunning() const { return m_port != 0; }
    QString errorString() const { return m_error; }
    // Not started for want of root or of the unpacked packages, rather than for a fault.
    bool unavailable() const { return m_root.isEmpty(); }
    quint16 port() const { return m_port; }
    QString serverString() const;
    QString user() const { return QStringLiteral("kakivaweb"); }
    QString password() const { return QStringLiteral("pw-4-unpacked"); }
    QString homePath() const { return m_dir.filePath(QStringLiteral("home")); }
    // The command lines the server logged (proftpd only; the password hidden).
    QStringList commands() const;

private:
    bool unpack();
    bool prepareHome();
    bool prepareProftpd(quint16 port);
    bool preparePureFtpd(quint16 port, QStringList *arguments);

    Kind m_kind;
    QString m_root; // where the packages are unpacked
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_error;
};
