#include "VsftpdServer.h"

#include "ServerProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <unistd.h>

namespace {

constexpr int StartTimeoutMs = 10000;
const QString Program = QStringLiteral("/usr/sbin/vsftpd");

bool run(const QString &program, const QStringList &arguments, const QByteArray &input = {})
{
    QProcess process;
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    return process.waitForFinished(StartTimeoutMs) && process.exitCode() == 0;
}

quint16 freeLoopbackPort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

} // namespace

VsftpdServer::VsftpdServer(const QString &certificate, const QString &key, bool implicit)
    : m_implicit(implicit)
{
    if (needsRoot()) {
        m_error = QStringLiteral("vsftpd needs root here");
        return;
    }
    if (!QFile::exists(Program)) {
        m_error = Program + QStringLiteral(" is not installed");
        return;
    }
    const quint16 port = freeLoopbackPort();
    if (!prepare(certificate, key, port))
        return;
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(Program, {m_dir.filePath(QStringLiteral("vsftpd.conf"))});
    if (!waitUntilListening(m_process, port, StartTimeoutMs)) {
        m_error =
            QStringLiteral("vsftpd did not start: ") + QString::fromLocal8Bit(m_process.readAll());
        return;
    }
    m_port = port;
}

VsftpdServer::~VsftpdServer()
{
    stopServerProcess(m_process, StartTimeoutMs);
}

bool VsftpdServer::needsRoot()
{
    return ::geteuid() != 0;
}

// A user of its own with a known password; the home the server shows is this server's
// directory, which that user owns.
bool VsftpdServer::prepare(const QString &certificate, const QString &key, quint16 port)
{
    const QString home = homePath();
    const QString empty = m_dir.filePath(QStringLiteral("empty"));
    // vsftpd enters the user's home before local_root, so "/" serves as one.
    if (!run(QStringLiteral("id"), {user()}) &&
        !run(QStringLiteral("useradd"),
             {"--home-dir", "/", "--no-create-home", "--shell", "/bin/sh", user()})) {
        m_error = QStringLiteral("cannot create the user ") + user();
        return false;
    }
    const bool ready =
        run(QStringLiteral("chpasswd"), {}, (user() + ':' + password() + '\n').toUtf8()) &&
        QDir().mkpath(home) && QDir().mkpath(empty) &&
        QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                QFile::ReadOther | QFile::ExeOther) &&
        run(QStringLiteral("chown"), {user(), home});
    const QStringList settings{
        "listen=YES",
        "listen_ipv6=NO",
        "listen_address=127.0.0.1",
        "listen_port=" + QString::number(port),
        "background=NO",
        "anonymous_enable=NO",
        "local_enable=YES",
        "write_enable=YES",
        "local_umask=022",
        "local_root=" + home,
        "secure_chroot_dir=" + empty,
        "seccomp_sandbox=NO",
        "isolate=NO",
        "isolate_network=NO",
        "pam_service_name=vsftpd",
        "ssl_enable=YES",
        "ssl_ciphers=HIGH",
        "rsa_cert_file=" + certificate,
        "rsa_private_key_file=" + key,
        "require_ssl_reuse=YES",
        "force_local_logins_ssl=YES",
        "force_local_data_ssl=YES",
        QStringLiteral("implicit_ssl=") + (m_implicit ? "YES" : "NO"),
        "log_ftp_protocol=YES",
        "xferlog_enable=YES",
        "xferlog_std_format=NO",
        "vsftpd_log_file=" + m_dir.filePath(QStringLiteral("vsftpd.log")),
    };
    QFile config(m_dir.filePath(QStringLiteral("vsftpd.conf")));
    if (!ready || !config.open(QIODevice::WriteOnly) ||
        config.write(settings.join('\n').toUtf8() + '\n') <= 0) {
        m_error = QStringLiteral("cannot prepare vsftpd's directory and configuration");
        return false;
    }
    return true;
}

QString VsftpdServer::serverString() const
{
    return (m_implicit ? QStringLiteral("ftps://127.0.0.1:")
                       : QStringLiteral("ftpes://127.0.0.1:")) +
           QString::number(m_port);
}

QByteArray VsftpdServer::remoteFile(const QString &remotePath) const
{
    QFile file(QDir(homePath()).filePath(remotePath));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList VsftpdServer::commands() const
{
    QFile log(m_dir.filePath(QStringLiteral("vsftpd.log")));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    static const QRegularExpression command(
        QStringLiteral("FTP command: Client \"[^\"]*\", \"(.*)\"$"));
    QStringList commands;
    for (const QByteArray &line : log.readAll().split('\n')) {
        const auto match = command.match(QString::fromUtf8(line.trimmed()));
        if (match.hasMatch())
            commands.append(match.captured(1));
    }
    return commands;
}
