#include "SshServer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QThread>

#include <atomic>
#include <csignal>
#include <pwd.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

constexpr int StartTimeoutMs = 10000;
constexpr int StopTimeoutMs = 5000;
constexpr int LockAttempts = 100;
constexpr int LockPauseMs = 100;
// Servers of one test process that run at once each have a user of their own.
std::atomic_int madeUsers{0};

quint16 freeLoopbackPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost))
        return 0;
    return probe.serverPort();
}

bool writeText(const QString &path, const QByteArray &text, QFile::Permissions permissions)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(text) == text.size() && file.setPermissions(permissions);
}

QList<qint64> childrenOf(qint64 parent)
{
    QList<qint64> children;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!isPid || !stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (name) state ppid ...": the name may hold blanks, so read after the last ')'.
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields.at(1).toLongLong() == parent)
            children << pid << childrenOf(pid);
    }
    return children;
}

// The server and the agent end with the test process, however it ends.
void endWithParent(QProcess &process)
{
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

} // namespace

SshServer::SshServer(SshServerOptions options) : m_options(std::move(options))
{
    endWithParent(m_process);
    endWithParent(m_agent);
    if (!prepare())
        stop();
}

SshServer::~SshServer()
{
    stop();
    if (m_agent.state() != QProcess::NotRunning) {
        m_agent.kill();
        m_agent.waitForFinished(StopTimeoutMs);
        qunsetenv("SSH_AUTH_SOCK");
    }
    if (m_madeUser)
        run(QStringLiteral("userdel"), {QStringLiteral("-f"), m_user});
}

// useradd, userdel and chpasswd of tests running side by side take the same lock on the user
// files, and the one that finds it taken fails at once: it is tried again.
bool SshServer::run(const QString &program, const QStringList &arguments, const QByteArray &input)
{
    for (int attempt = 0;; ++attempt) {
        QProcess process;
        process.start(program, arguments);
        if (!input.isEmpty())
            process.write(input);
        process.closeWriteChannel();
        if (process.waitForFinished(StartTimeoutMs) && process.exitCode() == 0)
            return true;
        const QString errors = QString::fromLocal8Bit(process.readAllStandardError());
        if (!errors.contains(QLatin1String("lock")) || attempt == LockAttempts) {
            m_error = QStringLiteral("%1 %2 failed: %3")
                          .arg(program, arguments.join(QLatin1Char(' ')), errors);
            return false;
        }
        QThread::msleep(LockPauseMs);
    }
}

bool SshServer::prepare()
{
    if (!m_dir.isValid() || !QDir(m_dir.path()).mkdir(QStringLiteral("home"))) {
        m_error = QStringLiteral("cannot create a temporary directory");
        return false;
    }
    // The test user and sshd's unprivileged half must reach the home and the keys below.
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                            QFile::ReadOther | QFile::ExeOther | QFile::ReadGroup |
                                            QFile::ExeGroup);
    const QString key = path(QStringLiteral("client_key"));
    if (!run(QStringLiteral("ssh-keygen"),
             {QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("ed25519"),
              QStringLiteral("-N"), QString(), QStringLiteral("-f"), key}))
        return false;
    QFile::copy(key + QStringLiteral(".pub"), path(QStringLiteral("authorized_keys")));
    if (!makeUser() || !makeHostKey())
        return false;
    m_port = freeLoopbackPort();
    if (!logsInWithPassword() && !startKeyAgent())
        return false;
    return start();
}

bool SshServer::makeUser()
{
    if (::geteuid() != 0) {
        const passwd *entry = ::getpwuid(::geteuid());
        m_user = entry ? QString::fromLocal8Bit(entry->pw_name) : QString();
        return !m_user.isEmpty();
    }
    m_user =
        QStringLiteral("kkvsftp%1u%2").arg(QCoreApplication::applicationPid()).arg(++madeUsers);
    m_password = QStringLiteral("pw-%1").arg(QRandomGenerator::global()->generate64(), 0, 16);
    run(QStringLiteral("userdel"),
        {QStringLiteral("-f"), m_user}); // left over from a run that was killed
    if (!run(QStringLiteral("useradd"), {QStringLiteral("-M"), QStringLiteral("-d"), homePath(),
                                         QStringLiteral("-s"), QStringLiteral("/bin/sh"), m_user}))
        return false;
    m_madeUser = true;
    // Privilege separation wants its empty directory; a system without sshd running lacks it.
    QDir().mkpath(QStringLiteral("/run/sshd"));
    return run(QStringLiteral("chpasswd"), {},
               (m_user + QLatin1Char(':') + m_password + QLatin1Char('\n')).toUtf8()) &&
           giveToUser(homePath());
}

bool SshServer::makeHostKey()
{
    ++m_hostKeys;
    return run(QStringLiteral("ssh-keygen"),
               {QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("ed25519"),
                QStringLiteral("-N"), QString(), QStringLiteral("-f"),
                path(QStringLiteral("host_key%1").arg(m_hostKeys))});
}

bool SshServer::startKeyAgent()
{
    if (m_agent.state() != QProcess::NotRunning)
        return true;
    const QString socket = path(QStringLiteral("agent.sock"));
    m_agent.start(QStringLiteral("ssh-agent"),
                  {QStringLiteral("-D"), QStringLiteral("-a"), socket});
    m_agent.waitForStarted(StartTimeoutMs);
    const QDeadlineTimer deadline(StartTimeoutMs);
    while (!QFile::exists(socket) && !deadline.hasExpired())
        QThread::msleep(20);
    qputenv("SSH_AUTH_SOCK", QFile::encodeName(socket));
    return run(QStringLiteral("ssh-add"),
               {QStringLiteral("-q"), path(QStringLiteral("client_key"))});
}

bool SshServer::start()
{
    // For most keywords sshd takes the first value it reads.
    QString config = m_options.config;
    config += QStringLiteral("Port %1\n"
                             "ListenAddress 127.0.0.1\n"
                             "HostKey %2\n"
                             "PidFile none\n"
                             "UsePAM no\n"
                             "PasswordAuthentication yes\n"
                             "KbdInteractiveAuthentication no\n"
                             "PubkeyAuthentication yes\n"
                             "AuthorizedKeysFile %3\n"
                             "StrictModes no\n"
                             "AllowUsers %4\n"
                             "LogLevel VERBOSE\n")
                  .arg(m_port)
                  .arg(path(QStringLiteral("host_key%1").arg(m_hostKeys)),
                       path(QStringLiteral("authorized_keys")), m_user);
    if (!m_options.hostileSftp.isEmpty()) {
        config += QStringLiteral("Subsystem sftp /usr/bin/python3 %1 %2\n")
                      .arg(QStringLiteral(KAKIVA_HOSTILE_SFTP_SCRIPT),
                           m_options.hostileSftp.join(QLatin1Char(' ')));
    } else if (m_options.withSftp) {
        config += QStringLiteral("Subsystem sftp internal-sftp -d %1\n").arg(homePath());
    }
    const QString configPath = path(QStringLiteral("sshd_config"));
    if (!writeText(configPath, config.toUtf8(), QFile::ReadOwner | QFile::WriteOwner)) {
        m_error = QStringLiteral("cannot write ") + configPath;
        return false;
    }
    // Counted before the start: a quick sshd may say it listens before the count is taken.
    const QString listening = QStringLiteral("Server listening on");
    const qsizetype startsBefore = log().count(listening);
    m_process.start(QStringLiteral("/usr/sbin/sshd"),
                    {QStringLiteral("-D"), QStringLiteral("-f"), configPath, QStringLiteral("-E"),
                     path(QStringLiteral("sshd.log"))});
    const QDeadlineTimer deadline(StartTimeoutMs);
    while (m_process.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        if (log().count(listening) > startsBefore)
            return true;
        m_process.waitForFinished(20);
    }
    m_error = QStringLiteral("sshd did not start: ") + log() +
              QString::fromLocal8Bit(m_process.readAllStandardError());
    return false;
}

void SshServer::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    killSessions();
    m_process.terminate();
    if (!m_process.waitForFinished(StopTimeoutMs)) {
        m_process.kill();
        m_process.waitForFinished(StopTimeoutMs);
    }
}

bool SshServer::restartWithNewHostKey()
{
    killSessions();
    stop();
    return makeHostKey() && start();
}

void SshServer::killSessions()
{
    for (const qint64 pid : childrenOf(m_process.processId()))
        ::kill(static_cast<pid_t>(pid), SIGKILL);
}

QString SshServer::serverString(quint16 viaPort) const
{
    return QStringLiteral("sftp://127.0.0.1:%1").arg(viaPort ? viaPort : m_port);
}

QString SshServer::homePath() const
{
    return m_dir.filePath(QStringLiteral("home"));
}

QByteArray SshServer::remoteFile(const QString &relative) const
{
    QFile file(QDir(homePath()).filePath(relative));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool SshServer::remoteExists(const QString &relative) const
{
    return QFile::exists(QDir(homePath()).filePath(relative));
}

QString SshServer::hostKeyFingerprint() const
{
    QProcess keygen;
    keygen.start(QStringLiteral("ssh-keygen"),
                 {QStringLiteral("-l"), QStringLiteral("-f"),
                  path(QStringLiteral("host_key%1.pub").arg(m_hostKeys))});
    keygen.waitForFinished(StartTimeoutMs);
    // "256 SHA256:... comment (ED25519)"
    return QString::fromLatin1(keygen.readAllStandardOutput()).section(QLatin1Char(' '), 1, 1);
}

QString SshServer::log() const
{
    QFile file(path(QStringLiteral("sshd.log")));
    return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
}

bool SshServer::giveToUser(const QString &path)
{
    return !m_madeUser || run(QStringLiteral("chown"), {m_user, path});
}

bool SshServer::makeRemoteDirectory(const QString &relative)
{
    const QString top = QDir(homePath()).filePath(relative.section(QLatin1Char('/'), 0, 0));
    return QDir().mkpath(QDir(homePath()).filePath(relative)) &&
           (!m_madeUser || run(QStringLiteral("chown"), {QStringLiteral("-R"), m_user, top}));
}

bool SshServer::writeRemoteFile(const QString &relative, const QByteArray &bytes)
{
    const QString path = QDir(homePath()).filePath(relative);
    return writeText(path, bytes, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther) &&
           giveToUser(path);
}
