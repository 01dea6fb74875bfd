#include "PyFtpServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>

namespace {

constexpr int StartTimeoutMs = 15000;
constexpr int StopTimeoutMs = 5000;

QString pythonProgram()
{
    const QString configured = qEnvironmentVariable("KAKIVA_PYTHON");
    return configured.isEmpty() ? QStringLiteral("/usr/bin/python3") : configured;
}

QString commandLogPath(const QTemporaryDir &dir)
{
    return dir.filePath(QStringLiteral("commands.log"));
}

} // namespace

PyFtpServer::PyFtpServer(const QString &host, int maxConnectionsPerAddress, bool offersMlsd)
    : m_host(host), m_maxConnectionsPerAddress(maxConnectionsPerAddress), m_offersMlsd(offersMlsd)
{
    start();
}

PyFtpServer::PyFtpServer(const QString &host, const Tls &tls) : m_host(host), m_tls(tls)
{
    start();
}

PyFtpServer::~PyFtpServer()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.closeWriteChannel(); // the script ends when its input closes
    if (!m_process.waitForFinished(StopTimeoutMs)) {
        m_process.kill();
        m_process.waitForFinished(StopTimeoutMs);
    }
}

void PyFtpServer::start()
{
    if (!m_dir.isValid() || !QDir(m_dir.path()).mkdir(QStringLiteral("home"))) {
        m_error = QStringLiteral("cannot create a temporary directory");
        return;
    }
    m_process.setStandardErrorFile(m_dir.filePath(QStringLiteral("server.err")));
    QStringList arguments{QStringLiteral(KAKIVA_FTP_SERVER_SCRIPT),
                          QStringLiteral("--host"),
                          m_host,
                          QStringLiteral("--home"),
                          homePath(),
                          QStringLiteral("--user"),
                          user(),
                          QStringLiteral("--password"),
                          password(),
                          QStringLiteral("--command-log"),
                          commandLogPath(m_dir),
                          QStringLiteral("--max-cons-per-ip"),
                          QString::number(m_maxConnectionsPerAddress)};
    if (!m_tls.certificate.isEmpty())
        arguments << QStringLiteral("--tls-certificate") << m_tls.certificate
                  << QStringLiteral("--tls-key") << m_tls.key;
    if (m_tls.implicit)
        arguments << QStringLiteral("--implicit-tls");
    if (!m_offersMlsd)
        arguments << QStringLiteral("--without-mlsd");
    m_process.start(pythonProgram(), arguments);
    const QDeadlineTimer deadline(StartTimeoutMs);
    while (!m_process.canReadLine() && m_process.state() != QProcess::NotRunning &&
           !deadline.hasExpired()) {
        m_process.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
    }
    const QByteArray line = m_process.readLine().trimmed();
    if (!line.startsWith("PORT ")) {
        QFile err(m_dir.filePath(QStringLiteral("server.err")));
        err.open(QIODevice::ReadOnly);
        m_error =
            QStringLiteral("%1 did not start the FTP server: %2 %3")
                .arg(pythonProgram(), m_process.errorString(), QString::fromUtf8(err.readAll()));
        m_process.kill();
        m_process.waitForFinished(StopTimeoutMs);
        return;
    }
    m_port = static_cast<quint16>(line.mid(5).toUInt());
}

QString PyFtpServer::serverString() const
{
    const QString host =
        m_host.contains(QLatin1Char(':')) ? QLatin1Char('[') + m_host + QLatin1Char(']') : m_host;
    const QString scheme = m_tls.certificate.isEmpty() ? QString()
                           : m_tls.implicit            ? QStringLiteral("ftps://")
                                                       : QStringLiteral("ftpes://");
    return scheme + host + QLatin1Char(':') + QString::number(m_port);
}

QByteArray PyFtpServer::remoteFile(const QString &remotePath) const
{
    QFile file(QDir(homePath()).filePath(remotePath));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QStringList PyFtpServer::commands() const
{
    QFile log(commandLogPath(m_dir));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}
