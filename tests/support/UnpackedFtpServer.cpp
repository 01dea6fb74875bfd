#include "UnpackedFtpServer.h"

#include "ServerProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <unistd.h>

namespace {

constexpr int StartTimeoutMs = 10000;
// Fetching and unpacking the packages the first time.
constexpr int UnpackTimeoutMs = 300000;
const QString Nobody = QStringLiteral("65534");

bool run(const QString &program, const QStringList &arguments, const QByteArray &input = {},
         QByteArray *output = nullptr, int timeoutMs = StartTimeoutMs)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    const bool done = process.waitForFinished(timeoutMs) &&
                      process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (output)
        *output = process.readAll();
    return done;
}

quint16 freeLoopbackPort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() &&
           file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
}

} // namespace

UnpackedFtpServer::UnpackedFtpServer(Kind kind) : m_kind(kind)
{
    if (::geteuid() != 0) {
        m_error = QStringLiteral("the unpacked FTP servers need root here");
        return;
    }
    if (!unpack() || !prepareHome())
        return;
    const quint16 port = freeLoopbackPort();
    QStringList arguments;
    const bool pure = m_kind == Kind::PureFtpd;
    if (pure ? !preparePureFtpd(port, &arguments) : !prepareProftpd(port))
        return;
    if (!pure)
        arguments = {"-n", "-q", "-c", m_dir.filePath(QStringLiteral("proftpd.conf"))};
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(m_root + (pure ? "/usr/sbin/pure-ftpd" : "/usr/sbin/proftpd"), arguments);
    if (!waitUntilListening(m_process, port, StartTimeoutMs)) {
        m_error = QStringLiteral("the server did not start: ") +
                  QString::fromLocal8Bit(m_process.readAll());
        return;
    }
    m_port = port;
}

UnpackedFtpServer::~UnpackedFtpServer()
{
    stopServerProcess(m_process, StartTimeoutMs);
}

bool UnpackedFtpServer::unpack()
{
    const QString directory = qEnvironmentVariable(
        "KAKIVA_TEST_SERVERS", QStringLiteral("/var/cache/kakiva-test-servers"));
    QByteArray output;
    if (!run(QStringLiteral(KAKIVA_UNPACK_FTP_SERVERS), {directory}, {}, &output,
             UnpackTimeoutMs)) {
        m_error = QStringLiteral("proftpd and pure-ftpd could not be unpacked: ") +
                  QString::fromLocal8Bit(output.right(2000));
        return false;
    }
    m_root = directory + QStringLiteral("/root");
    return true;
}

// The virtual user's files belong to nobody, as do the server's processes after the login.
bool UnpackedFtpServer::prepareHome()
{
    const bool ready =
        QDir().mkpath(homePath()) &&
        QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                QFile::ReadOther | QFile::ExeOther) &&
        run(QStringLiteral("chown"), {Nobody + ':' + Nobody, homePath()});
    if (!ready)
        m_error = QStringLiteral("cannot prepare the server's home");
    return ready;
}

bool UnpackedFtpServer::prepareProftpd(quint16 port)
{
    QByteArray hash;
    if (!run(QStringLiteral("openssl"), {"passwd", "-6", "-stdin"}, password().toUtf8() + '\n',
             &hash)) {
        m_error = QStringLiteral("cannot hash the password");
        return false;
    }
    const QString passwd = m_dir.filePath(QStringLiteral("passwd"));
    const QString group = m_dir.filePath(QStringLiteral("group"));
    QStringList settings{
        "ServerType standalone",
        "DefaultServer on",
        "Port " + QString::number(port),
        "DefaultAddress 127.0.0.1",
        "SocketBindTight on",
        "UseIPv6 off",
        "User nobody",
        "Group nogroup",
        "PidFile " + m_dir.filePath(QStringLiteral("proftpd.pid")),
        "ScoreboardFile " + m_dir.filePath(QStringLiteral("proftpd.scoreboard")),
        "DelayTable none",
        "WtmpLog off",
        "UseReverseDNS off",
        "AuthPAM off",
        "AuthOrder mod_auth_file.c",
        "AuthUserFile " + passwd,
        "AuthGroupFile " + group,
        "RequireValidShell off",
        "DefaultRoot ~",
        "AllowOverwrite on",
        "Umask 022",
        "ModulePath " + m_root + "/usr/lib/proftpd",
        "SystemLog " + m_dir.filePath(QStringLiteral("system.log")),
        "LogFormat commands \"%r\"",
        "ExtendedLog " + m_dir.filePath(QStringLiteral("commands.log")) + " ALL commands",
    };
    if (m_kind == Kind::ProftpdWithDigests)
        settings.append(QStringLiteral("LoadModule mod_digest.c"));
    const QByteArray line = (user() + ':' + QString::fromUtf8(hash.trimmed()) + ':' + Nobody + ':' +
                             Nobody + "::" + homePath() + ":/bin/sh\n")
                                .toUtf8();
    if (!writeFile(passwd, line) || !writeFile(group, "nogroup:x:65534:\n") ||
        !writeFile(m_dir.filePath(QStringLiteral("proftpd.conf")),
                   settings.join('\n').toUtf8() + '\n')) {
        m_error = QStringLiteral("cannot write proftpd's configuration");
        return false;
    }
    return true;
}

bool UnpackedFtpServer::preparePureFtpd(quint16 port, QStringList *arguments)
{
    const QString database = m_dir.filePath(QStringLiteral("pureftpd.pdb"));
    const QByteArray typed = password().toUtf8() + '\n';
    if (!run(m_root + QStringLiteral("/usr/bin/pure-pw"),
             {"useradd", user(), "-u", Nobody, "-g", Nobody, "-d", homePath(), "-f",
              m_dir.filePath(QStringLiteral("pureftpd.passwd")), "-m", "-F", database},
             typed + typed)) {
        m_error = QStringLiteral("cannot make pure-ftpd's user database");
        return false;
    }
    // Foreground, no anonymous logins, everyone in their home, no DNS.
    *arguments = {
        "-S", "127.0.0.1," + QString::number(port), "-l", "puredb:" + database, "-E", "-A", "-H"};
    return true;
}

QString UnpackedFtpServer::serverString() const
{
    return QStringLiteral("127.0.0.1:") + QString::number(m_port);
}

QStringList UnpackedFtpServer::commands() const
{
    QFile log(m_dir.filePath(QStringLiteral("commands.log")));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    QStringList commands;
    for (const QByteArray &line : log.readAll().split('\n')) {
        if (!line.trimmed().isEmpty())
            commands.append(QString::fromUtf8(line.trimmed()));
    }
    return commands;
}
