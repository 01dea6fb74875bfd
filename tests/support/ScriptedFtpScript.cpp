#include "ScriptedFtpScript.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QMutexLocker>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>

#include <algorithm>

bool ScriptedReply::endsPreliminary() const
{
    if (usual || pieces.isEmpty() || closeAfter)
        return false;
    const QByteArray all = pieces.join().trimmed();
    const qsizetype lastLine = all.lastIndexOf('\n') + 1;
    return all.mid(lastLine, 1) == "1";
}

void ScriptedFtpScript::setGreeting(const ScriptedReply &reply)
{
    QMutexLocker lock(&m_mutex);
    m_greeting = reply;
}

ScriptedReply ScriptedFtpScript::greeting() const
{
    QMutexLocker lock(&m_mutex);
    return m_greeting;
}

void ScriptedFtpScript::setReply(const QByteArray &verb, const ScriptedReply &reply)
{
    QMutexLocker lock(&m_mutex);
    m_replies.insert(verb.toUpper(), reply);
}

void ScriptedFtpScript::queueReply(const QByteArray &verb, const ScriptedReply &reply)
{
    QMutexLocker lock(&m_mutex);
    m_queued[verb.toUpper()].append(reply);
}

std::optional<ScriptedReply> ScriptedFtpScript::takeReply(const QByteArray &verb)
{
    QMutexLocker lock(&m_mutex);
    QList<ScriptedReply> &queue = m_queued[verb];
    if (!queue.isEmpty())
        return queue.takeFirst();
    const auto found = m_replies.constFind(verb);
    if (found == m_replies.constEnd())
        return std::nullopt;
    return *found;
}

void ScriptedFtpScript::setTransferReply(const ScriptedReply &reply)
{
    QMutexLocker lock(&m_mutex);
    m_transferReply = reply;
}

ScriptedReply ScriptedFtpScript::transferReply() const
{
    QMutexLocker lock(&m_mutex);
    return m_transferReply.value_or(ScriptedReply::text("226 Transfer complete\r\n"));
}

void ScriptedFtpScript::setTransfer(Transfer transfer, qint64 dropAfterBytes)
{
    QMutexLocker lock(&m_mutex);
    m_transfer = transfer;
    m_dropAfterBytes = dropAfterBytes;
}

ScriptedFtpScript::Transfer ScriptedFtpScript::transfer() const
{
    QMutexLocker lock(&m_mutex);
    return m_transfer;
}

qint64 ScriptedFtpScript::dropAfterBytes() const
{
    QMutexLocker lock(&m_mutex);
    return m_dropAfterBytes;
}

void ScriptedFtpScript::setTls(const QString &certificatePath, const QString &keyPath)
{
    QFile key(keyPath);
    key.open(QIODevice::ReadOnly);
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(QSslCertificate::fromPath(certificatePath).value(0));
    tls.setPrivateKey(QSslKey(&key, QSsl::Rsa));
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    QMutexLocker lock(&m_mutex);
    m_tls = tls;
}

QSslConfiguration ScriptedFtpScript::tlsConfiguration() const
{
    QMutexLocker lock(&m_mutex);
    return m_tls;
}

void ScriptedFtpScript::setEarlyData(EarlyData early)
{
    QMutexLocker lock(&m_mutex);
    m_earlyData = early;
}

ScriptedFtpScript::EarlyData ScriptedFtpScript::earlyData() const
{
    QMutexLocker lock(&m_mutex);
    return m_earlyData;
}

int ScriptedFtpScript::earlyDataDrops() const
{
    QMutexLocker lock(&m_mutex);
    return m_earlyDataDrops;
}

void ScriptedFtpScript::recordEarlyDataDrop()
{
    QMutexLocker lock(&m_mutex);
    ++m_earlyDataDrops;
}

void ScriptedFtpScript::setPasvHost(const QByteArray &commaSeparated)
{
    QMutexLocker lock(&m_mutex);
    m_pasvHost = commaSeparated;
}

void ScriptedFtpScript::setListing(const QByteArray &bytes)
{
    const QMutexLocker locker(&m_mutex);
    m_listing = bytes;
}

std::optional<QByteArray> ScriptedFtpScript::listing() const
{
    const QMutexLocker locker(&m_mutex);
    return m_listing;
}

QByteArray ScriptedFtpScript::pasvHost() const
{
    QMutexLocker lock(&m_mutex);
    return m_pasvHost;
}

void ScriptedFtpScript::addDirectory(const QString &path)
{
    QMutexLocker lock(&m_mutex);
    m_directories.insert(path);
}

bool ScriptedFtpScript::hasDirectory(const QString &path) const
{
    QMutexLocker lock(&m_mutex);
    return m_directories.contains(path);
}

void ScriptedFtpScript::recordCommand(const QByteArray &line)
{
    QMutexLocker lock(&m_mutex);
    m_commands.append(line);
    m_recorded.wakeAll();
}

QList<QByteArray> ScriptedFtpScript::commands() const
{
    QMutexLocker lock(&m_mutex);
    return m_commands;
}

void ScriptedFtpScript::setRenameOverFileRefused(bool refused)
{
    QMutexLocker lock(&m_mutex);
    m_renameOverFileRefused = refused;
}

bool ScriptedFtpScript::renameOverFileRefused() const
{
    QMutexLocker lock(&m_mutex);
    return m_renameOverFileRefused;
}

void ScriptedFtpScript::setRenamesRefused(bool refused)
{
    QMutexLocker lock(&m_mutex);
    m_renamesRefused = refused;
}

bool ScriptedFtpScript::renamesRefused() const
{
    QMutexLocker lock(&m_mutex);
    return m_renamesRefused;
}

void ScriptedFtpScript::setHiddenNamesRefused(bool refused)
{
    QMutexLocker lock(&m_mutex);
    m_hiddenNamesRefused = refused;
}

bool ScriptedFtpScript::hiddenNamesRefused() const
{
    QMutexLocker lock(&m_mutex);
    return m_hiddenNamesRefused;
}

void ScriptedFtpScript::setOneCommandAtATime(bool one)
{
    QMutexLocker lock(&m_mutex);
    m_oneCommandAtATime = one;
}

bool ScriptedFtpScript::oneCommandAtATime() const
{
    QMutexLocker lock(&m_mutex);
    return m_oneCommandAtATime;
}

void ScriptedFtpScript::removeFile(const QString &path)
{
    QMutexLocker lock(&m_mutex);
    m_files.remove(path);
}

void ScriptedFtpScript::renameFile(const QString &from, const QString &to)
{
    QMutexLocker lock(&m_mutex);
    m_files.insert(to, m_files.take(from));
}

void ScriptedFtpScript::setRenamesOutOfOrder(bool outOfOrder)
{
    QMutexLocker lock(&m_mutex);
    m_renamesOutOfOrder = outOfOrder;
}

bool ScriptedFtpScript::renamesOutOfOrder() const
{
    QMutexLocker lock(&m_mutex);
    return m_renamesOutOfOrder;
}

void ScriptedFtpScript::setDigests(Digests digests)
{
    QMutexLocker lock(&m_mutex);
    m_digests = digests;
}

ScriptedFtpScript::Digests ScriptedFtpScript::digests() const
{
    QMutexLocker lock(&m_mutex);
    return m_digests;
}

void ScriptedFtpScript::storeFile(const QString &path, const QByteArray &bytes)
{
    QMutexLocker lock(&m_mutex);
    m_files.insert(path, bytes);
}

QMap<QString, QByteArray> ScriptedFtpScript::files() const
{
    QMutexLocker lock(&m_mutex);
    return m_files;
}

void ScriptedFtpScript::recordConnection()
{
    QMutexLocker lock(&m_mutex);
    ++m_connections;
    m_recorded.wakeAll();
}

int ScriptedFtpScript::connections() const
{
    QMutexLocker lock(&m_mutex);
    return m_connections;
}

void ScriptedFtpScript::recordDataPeer(const QHostAddress &peer)
{
    QMutexLocker lock(&m_mutex);
    m_dataPeers.append(peer);
}

QList<QHostAddress> ScriptedFtpScript::dataPeers() const
{
    QMutexLocker lock(&m_mutex);
    return m_dataPeers;
}

void ScriptedFtpScript::recordDisconnection()
{
    QMutexLocker lock(&m_mutex);
    ++m_disconnections;
    m_recorded.wakeAll();
}

int ScriptedFtpScript::disconnections() const
{
    QMutexLocker lock(&m_mutex);
    return m_disconnections;
}

bool ScriptedFtpScript::waitForCommand(const QByteArray &prefix, int timeoutMs) const
{
    return waitUntil(
        [&] {
            return std::any_of(m_commands.begin(), m_commands.end(),
                               [&](const QByteArray &line) { return line.startsWith(prefix); });
        },
        timeoutMs);
}

bool ScriptedFtpScript::waitForConnections(int count, int timeoutMs) const
{
    return waitUntil([&] { return m_connections >= count; }, timeoutMs);
}

template <typename Condition>
bool ScriptedFtpScript::waitUntil(Condition condition, int timeoutMs) const
{
    const QDeadlineTimer deadline(timeoutMs);
    QMutexLocker lock(&m_mutex);
    while (!condition()) {
        if (!m_recorded.wait(&m_mutex, deadline))
            return condition();
    }
    return true;
}
