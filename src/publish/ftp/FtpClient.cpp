#include "publish/ftp/FtpClient.h"

#include "publish/client/ServerAddress.h"
#include "publish/client/WireText.h"
#include "publish/ftp/FtpAside.h"
#include "publish/ftp/FtpDataTransfer.h"
#include "publish/ftp/FtpDirectoryList.h"
#include "publish/ftp/FtpFilePresence.h"
#include "publish/ftp/FtpLogin.h"
#include "publish/ftp/FtpResult.h"
#include "publish/ftp/FtpSession.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace Kakiva {

FtpClient::FtpClient() : d(std::make_unique<FtpSession>()) {}

FtpClient::~FtpClient() = default;

qint16 FtpClient::OpenLog(const QString &path, qint16 mode)
{
    if (mode == 0) {
        d->log.close();
        return 0;
    }
    return d->log.open(path) ? 0 : -1;
}

qint16 FtpClient::Connect(const QString &server, const QString &user, const QString &password)
{
    d->end();
    const auto address = parseFtpServerAddress(server);
    if (!address) {
        d->log.note(QStringLiteral("no usable server address in \"%1\"").arg(server));
        return FtpResult::Connect::SocketNotOpened;
    }
    if (!isSendable(user)) {
        d->log.note(QStringLiteral("the user name holds a control character; nothing sent"));
        return FtpResult::Connect::UserRefused;
    }
    if (!isSendable(password)) {
        d->log.note(QStringLiteral("the password holds a control character; nothing sent"));
        return FtpResult::Connect::PasswordRefused;
    }
    d->log.setSecret(password);
    return openAndLogIn(*d, *address, user, password);
}

qint16 FtpClient::Command(const QString &line)
{
    if (line.isEmpty() || !isSendable(line)) {
        d->log.note(QStringLiteral("command refused: empty or holding a control character"));
        return FtpResult::LineRefused;
    }
    FtpReply reply;
    if (const FtpStatus s = d->exchange(line.toUtf8(), &reply); s != FtpStatus::Ok)
        return d->commandFailure(s);
    return static_cast<qint16>(reply.digit());
}

qint16 FtpClient::PutFile(const QString &localPath, const QString &remoteName)
{
    const QFileInfo info(localPath);
    if (!info.exists()) {
        d->log.note(QStringLiteral("local file not found: %1").arg(localPath));
        return FtpResult::PutFile::LocalFileMissing;
    }
    const QString name = remoteName.isEmpty() ? info.fileName() : remoteName;
    if (name.isEmpty() || !isSendable(name)) {
        d->log.note(QStringLiteral("remote name refused: empty or holding a control character"));
        return FtpResult::LineRefused;
    }
    QFile file(localPath);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly)) {
        d->log.note(QStringLiteral("cannot read %1: %2").arg(localPath, file.errorString()));
        return FtpResult::LocalFileUnreadable;
    }
    if (!d->control.isOpen())
        return FtpResult::NotConnected;
    return storeFile(*d, name.toUtf8(), file);
}

qint16 FtpClient::RemoveFile(const QString &remoteName)
{
    if (remoteName.isEmpty() || !isSendable(remoteName))
        return FtpResult::LineRefused;
    FtpReply reply;
    if (const FtpStatus s = d->exchange("DELE " + remoteName.toUtf8(), &reply); s != FtpStatus::Ok)
        return d->commandFailure(s);
    if (reply.isSuccess())
        return FtpResult::RemoveFile::Removed;
    if (reply.code != 550)
        return serverRefusal(reply);
    // 550 is also a file the server keeps (no permission, or in use): only a file it says
    // is not there counts as gone, else the removal stays to be tried again.
    FtpFilePresence presence = FtpFilePresence::Unknown;
    if (const FtpStatus s = askFilePresence(*d, remoteName.toUtf8(), &presence); s != FtpStatus::Ok)
        return d->commandFailure(s);
    if (presence == FtpFilePresence::Gone)
        return FtpResult::RemoveFile::NotThere;
    d->log.note(presence == FtpFilePresence::There
                    ? QStringLiteral("not removed: the server still holds %1").arg(remoteName)
                    : QStringLiteral("not removed: the server cannot tell whether it holds %1")
                          .arg(remoteName));
    return serverRefusal(reply);
}

QList<qint16> FtpClient::CheckFiles(const QList<AsideFile> &files, AsideWay way)
{
    if (!d->control.isOpen())
        return QList<qint16>(files.size(), FtpResult::NotConnected);
    return checkStoredFiles(*d, files, way);
}

QList<qint16> FtpClient::RenameFiles(const QList<AsideFile> &files, AsideWay way)
{
    if (!d->control.isOpen())
        return QList<qint16>(files.size(), FtpResult::NotConnected);
    return renameStored(*d, files, way);
}

std::optional<bool> FtpClient::offersDigests() const
{
    return d->digestsOffered;
}

qint16 FtpClient::ListDirectory(const QString &directory, QList<RemoteEntry> *entries)
{
    entries->clear();
    if (!isSendable(directory))
        return FtpResult::LineRefused;
    if (!d->control.isOpen())
        return FtpResult::NotConnected;
    return listFtpDirectory(*d, directory.toUtf8(), entries);
}

QList<QByteArray> FtpClient::FileDigests(const QString &directory, const QStringList &names)
{
    QList<QByteArray> wire;
    for (const QString &name : names) {
        if (!isSendable(name) || !isSendable(directory))
            return {};
        wire.append(name.toUtf8());
    }
    if (!d->control.isOpen() || names.isEmpty())
        return {};
    return ftpFileDigests(*d, directory.toUtf8(), wire);
}

void FtpClient::Close()
{
    d->control.quit();
    d->end();
}

void FtpClient::CloseLog()
{
    d->log.close();
}

void FtpClient::setCertificateCheck(CertificateCheck check)
{
    d->certificateCheck = std::move(check);
}

void FtpClient::setServerTrust(ServerTrust trust)
{
    setCertificateCheck(std::move(trust.certificate));
}

void FtpClient::setPipelining(bool pipelining)
{
    d->pipeliningWanted = pipelining;
    if (!d->control.isOpen())
        d->pipelining = pipelining;
}

bool FtpClient::fellBackToClassic() const
{
    return d->fellBackToClassic;
}

void FtpClient::setCancelFlag(const std::atomic_bool *cancel)
{
    d->waits.cancel = cancel;
}

void FtpClient::setTimeout(std::chrono::milliseconds timeout)
{
    d->waits.timeout = std::max(timeout, std::chrono::milliseconds(1));
}

WireStats FtpClient::wireStats() const
{
    return d->stats;
}

} // namespace Kakiva
