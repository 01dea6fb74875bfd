#include "publish/sftp/SftpClient.h"

#include "publish/client/SessionLog.h"
#include "publish/client/WireText.h"
#include "publish/sftp/SftpAttributes.h"
#include "publish/sftp/SftpChannel.h"
#include "publish/sftp/SftpDirectoryRead.h"
#include "publish/sftp/SftpRemotePath.h"
#include "publish/sftp/SftpResult.h"
#include "publish/sftp/SftpServerAddress.h"
#include "publish/sftp/SftpUpload.h"
#include "publish/sftp/SshConnection.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

namespace Kakiva {

namespace {

constexpr std::chrono::milliseconds DefaultTimeout{25000};
constexpr quint32 DirectoryPermissions = 0755;

bool isDirectory(const SftpPacket::Message &answer)
{
    if (answer.type != SftpPacket::Attrs)
        return false;
    SftpPacket::Reader reader(answer.body);
    const std::optional<SftpAttributes> attributes = readSftpAttributes(reader);
    return attributes && attributes->isDirectory();
}

std::optional<quint32> statusCode(const SftpPacket::Message &answer)
{
    if (answer.type != SftpPacket::Status)
        return std::nullopt;
    return SftpPacket::Reader(answer.body).u32();
}

bool isOkStatus(const SftpPacket::Message &answer)
{
    return statusCode(answer) == SftpPacket::StatusOk;
}

} // namespace

struct SftpClient::Private
{
    SessionLog log;
    SshConnection connection{log};
    std::optional<SshWait> wait;
    std::optional<SftpChannel> channel;
    QString directory; // empty: the login directory
    // Directories this session made: each is there, and empty but for what it made since,
    // so entering one or looking below one needs no question to the server.
    QSet<QString> made;
    const std::atomic_bool *cancel = nullptr;
    std::chrono::milliseconds timeout = DefaultTimeout;
    SshConnectOptions options{defaultKnownHostsFiles(), {}};
    WireStats finishedStats;

    bool connected() const { return channel && channel->failure() == SftpChannel::Failure::None; }

    void end()
    {
        if (channel)
            finishedStats = channel->wireStats();
        channel.reset();
        connection.drop();
    }

    qint16 result(const QString &what, qint16 value)
    {
        log.received(QStringLiteral("%1 %2").arg(what).arg(value));
        if (channel && channel->failure() != SftpChannel::Failure::None)
            end();
        return value;
    }

    qint16 changeDirectory(const QString &name);
    qint16 makeDirectory(const QString &name);
    qint16 prepare(const PutRequest &file, QList<SftpUploadFile> &uploads,
                   std::vector<std::unique_ptr<QFile>> &locals);
};

SftpClient::SftpClient() : d(std::make_unique<Private>()) {}

SftpClient::~SftpClient() = default;

qint16 SftpClient::OpenLog(const QString &path, qint16 mode)
{
    if (mode == 0) {
        d->log.close();
        return 0;
    }
    return d->log.open(path) ? 0 : -1;
}

qint16 SftpClient::Connect(const QString &server, const QString &user, const QString &password)
{
    d->end();
    d->log.setSecret(password);
    d->directory.clear();
    d->made.clear();
    const auto address = parseSftpServerAddress(server);
    if (!address) {
        d->log.note(QStringLiteral("not an sftp:// server: ") + server);
        return SftpResult::Connect::SocketNotOpened;
    }
    d->wait.emplace(d->cancel, d->timeout);
    const qint16 result = d->connection.open(*address, user, password, d->options, *d->wait);
    if (result != SftpResult::Connect::Connected)
        return result;
    d->channel.emplace(d->connection.session(), d->connection.channel(), *d->wait);
    if (!d->channel->start()) {
        const SftpChannel::Failure failure = d->channel->failure();
        d->log.note(QStringLiteral("SFTP subsystem failed"));
        d->end();
        if (failure == SftpChannel::Failure::TimedOut || failure == SftpChannel::Failure::Cancelled)
            return SftpResult::Connect::TimedOut;
        return failure == SftpChannel::Failure::Closed ? SftpResult::Connect::ClosedByServer
                                                       : SftpResult::Connect::SubsystemRefused;
    }
    d->log.note(QStringLiteral("SFTP version %1").arg(d->channel->version()));
    return SftpResult::Connect::Connected;
}

qint16 SftpClient::Command(const QString &line)
{
    if (!isSendable(line))
        return SftpResult::LineRefused;
    d->log.sent(line);
    if (!d->connected())
        return SftpResult::NotConnected;
    const qsizetype space = line.indexOf(QLatin1Char(' '));
    const QString verb = line.left(space).toUpper();
    const QString name = space < 0 ? QString() : line.mid(space + 1);
    if (verb == QLatin1String("CWD"))
        return d->changeDirectory(name);
    if (verb == QLatin1String("MKD"))
        return d->makeDirectory(name);
    return d->result(QStringLiteral("unsupported"), SftpResult::Command::Refused);
}

qint16 SftpClient::Private::changeDirectory(const QString &name)
{
    const QString path = sftpRemotePath(directory, name);
    if (made.contains(path)) {
        directory = path;
        return result(QStringLiteral("CWD ") + path + QStringLiteral(" (made)"),
                      SftpResult::Command::Done);
    }
    if (made.contains(path.section(QLatin1Char('/'), 0, -2)))
        return result(QStringLiteral("CWD (not made yet)"), SftpResult::Command::Refused);
    const auto id =
        channel->send(SftpPacket::Stat, SftpPacket::Writer().string(path.toUtf8()).bytes());
    const auto answer = id ? channel->answer(*id) : std::nullopt;
    if (!answer)
        return result(QStringLiteral("CWD"), sftpChannelFailureResult(*channel, false));
    if (!isDirectory(*answer))
        return result(QStringLiteral("CWD"), SftpResult::Command::Refused);
    directory = path;
    return result(QStringLiteral("CWD ") + path, SftpResult::Command::Done);
}

qint16 SftpClient::Private::makeDirectory(const QString &name)
{
    const QString path = sftpRemotePath(directory, name);
    SftpPacket::Writer body;
    body.string(path.toUtf8()).u32(SftpPacket::AttrPermissions).u32(DirectoryPermissions);
    const auto id = channel->send(SftpPacket::Mkdir, body.bytes());
    const auto answer = id ? channel->answer(*id) : std::nullopt;
    if (!answer)
        return result(QStringLiteral("MKD"), sftpChannelFailureResult(*channel, false));
    if (!isOkStatus(*answer))
        return result(QStringLiteral("MKD"), SftpResult::Command::Refused);
    made.insert(path);
    return result(QStringLiteral("MKD"), SftpResult::Command::Done);
}

qint16 SftpClient::PutFile(const QString &localPath, const QString &remoteName)
{
    return PutFiles({{localPath, QString(), remoteName}}).constFirst();
}

// Opens the file's local side and adds it to uploads; otherwise what keeps it from being
// sent, found before anything goes out.
qint16 SftpClient::Private::prepare(const PutRequest &file, QList<SftpUploadFile> &uploads,
                                    std::vector<std::unique_ptr<QFile>> &locals)
{
    const QFileInfo info(file.localPath);
    if (!info.isFile())
        return SftpResult::PutFile::LocalFileMissing;
    const QString name = file.remoteName.isEmpty() ? info.fileName() : file.remoteName;
    if (!isSendable(name) || !isSendable(file.directory) || name.contains(QLatin1Char('/')) ||
        name == QLatin1String(".") || name == QLatin1String(".."))
        return SftpResult::LineRefused;
    if (!connected())
        return SftpResult::NotConnected;
    auto local = std::make_unique<QFile>(file.localPath);
    if (!local->open(QIODevice::ReadOnly)) {
        log.note(QStringLiteral("cannot read ") + file.localPath);
        return SftpResult::LocalFileUnreadable;
    }
    if (!file.temporaryName.isEmpty() &&
        (!isSendable(file.temporaryName) || file.temporaryName.contains(QLatin1Char('/'))))
        return SftpResult::LineRefused;
    uploads.append({local.get(), sftpRemotePath(directory, file.directory), name,
                    file.temporaryName});
    locals.push_back(std::move(local));
    return SftpResult::PutFile::Stored;
}

QList<qint16> SftpClient::PutFiles(const QList<PutRequest> &files)
{
    QList<qint16> results;
    QList<SftpUploadFile> uploads;
    std::vector<std::unique_ptr<QFile>> locals;
    for (const PutRequest &file : files)
        results.append(d->prepare(file, uploads, locals));
    // Pages replace the old ones all or none: one that cannot go keeps the others back.
    const bool aside = std::any_of(files.begin(), files.end(), [](const PutRequest &file) {
        return !file.temporaryName.isEmpty();
    });
    if (aside && results.count(SftpResult::PutFile::Stored) != results.size()) {
        for (qint16 &result : results) {
            if (result == SftpResult::PutFile::Stored)
                result = SftpResult::Withheld;
        }
        return results;
    }
    const QList<qint16> sent =
        uploads.isEmpty() ? QList<qint16>() : sftpUpload(*d->channel, d->log, uploads);
    qsizetype next = 0;
    for (qint16 &result : results) {
        if (result == SftpResult::PutFile::Stored)
            result = d->result(QStringLiteral("PutFile"), sent.at(next++));
    }
    return results;
}

qint16 SftpClient::RemoveFile(const QString &remoteName)
{
    if (!isSendable(remoteName) || remoteName.isEmpty() || remoteName.contains(QLatin1Char('/')))
        return SftpResult::LineRefused;
    d->log.sent(QStringLiteral("REMOVE ") + remoteName);
    if (!d->connected())
        return SftpResult::NotConnected;
    const QString path = sftpRemotePath(d->directory, remoteName);
    const auto id =
        d->channel->send(SftpPacket::Remove, SftpPacket::Writer().string(path.toUtf8()).bytes());
    const auto answer = id ? d->channel->answer(*id) : std::nullopt;
    if (!answer)
        return d->result(QStringLiteral("REMOVE"), sftpChannelFailureResult(*d->channel, false));
    const std::optional<quint32> code = statusCode(*answer);
    qint16 removed = SftpResult::ServerRefused;
    if (code == SftpPacket::StatusOk)
        removed = SftpResult::RemoveFile::Removed;
    else if (code == SftpPacket::StatusNoSuchFile)
        removed = SftpResult::RemoveFile::NotThere;
    return d->result(QStringLiteral("REMOVE"), removed);
}

qint16 SftpClient::ListDirectory(const QString &directory, QList<RemoteEntry> *entries)
{
    entries->clear();
    if (!isSendable(directory))
        return SftpResult::LineRefused;
    if (!d->connected())
        return SftpResult::NotConnected;
    const QString path = sftpRemotePath(d->directory, directory);
    return d->result(QStringLiteral("LIST"), sftpListDirectory(*d->channel, d->log, path, entries));
}

void SftpClient::Close()
{
    if (d->channel)
        d->finishedStats = d->channel->wireStats();
    d->channel.reset();
    if (d->connection.isOpen())
        d->log.note(QStringLiteral("SSH disconnecting"));
    d->connection.close();
}

void SftpClient::CloseLog()
{
    d->log.close();
}

void SftpClient::setCancelFlag(const std::atomic_bool *cancel)
{
    d->cancel = cancel;
}

void SftpClient::setTimeout(std::chrono::milliseconds timeout)
{
    d->timeout = timeout;
}

void SftpClient::setHostKeyTrust(HostKeyTrust trust)
{
    d->options.trust = std::move(trust);
}

void SftpClient::setServerTrust(ServerTrust trust)
{
    setHostKeyTrust(std::move(trust.hostKey));
}

void SftpClient::setKnownHostsFiles(const KnownHostsFiles &files)
{
    d->options.knownHosts = files;
}

WireStats SftpClient::wireStats() const
{
    return d->channel ? d->channel->wireStats() : d->finishedStats;
}

} // namespace Kakiva
