#include "publish/ftp/FtpDirectoryList.h"

#include "publish/ftp/FtpFeatures.h"
#include "publish/ftp/FtpListing.h"
#include "publish/ftp/FtpPassiveData.h"
#include "publish/ftp/FtpResult.h"
#include "publish/ftp/FtpSession.h"

#include <QSslSocket>

#include <optional>

namespace Kakiva {

namespace {

constexpr int SizeDone = 213;
// The first digit of a permanent refusal, which a missing directory gets.
constexpr qint16 NotThere = 5;

QByteArray joined(const QByteArray &directory, const QByteArray &name)
{
    return directory.isEmpty() ? name : directory + '/' + name;
}

FtpStatus learnFeatures(FtpSession &session)
{
    if (session.features)
        return FtpStatus::Ok;
    FtpReply reply;
    const FtpStatus status = session.exchange("FEAT", &reply);
    if (status == FtpStatus::Ok)
        session.learnFeatures(reply);
    return status;
}

// Reads the data connection until the server ends it; a failure value when it could not be
// read whole, or held more than any listing may. Under TLS the server's close alert ends it:
// everything before the alert is the whole listing, and a server that waits for ours before it
// closes (vsftpd) is not kept waiting.
std::optional<qint16> readListing(FtpSession &session, QSslSocket &data, QByteArray *bytes)
{
    // Watched from before the handshake ends: the listing and the alert may come with its
    // last flight.
    bool closeAlerted = false;
    QObject watch;
    QObject::connect(&data, &QSslSocket::alertReceived, &watch,
                     [&](QSsl::AlertLevel, QSsl::AlertType type, const QString &) {
                         closeAlerted = closeAlerted || type == QSsl::AlertType::CloseNotify;
                     });
    if (session.isTls()) {
        if (waitForEncrypted(data, session.waits.fromNow()) != FtpStatus::Ok ||
            data.peerCertificate() != session.tlsCertificate) {
            session.log.note(QStringLiteral("TLS on the listing's data connection failed"));
            return FtpResult::DataConnectionFailed;
        }
    }
    // The alert brings no bytes: a wait would not end for it on its own.
    const auto limitsFromNow = [&] {
        FtpWaitLimits limits = session.waits.fromNow();
        limits.interrupted = [&closeAlerted] { return closeAlerted; };
        return limits;
    };
    FtpWaitLimits limits = limitsFromNow();
    for (;;) {
        if (data.bytesAvailable() > 0) {
            bytes->append(data.readAll());
            limits = limitsFromNow(); // a long listing may take long while it moves
        }
        if (bytes->size() > RemoteListing::MaxBytes) {
            session.log.note(QStringLiteral("the listing outgrew %1 bytes; the session is ended")
                                 .arg(RemoteListing::MaxBytes));
            return FtpResult::BadReply;
        }
        if (closeAlerted) {
            data.disconnectFromHost(); // our own close alert
            return std::nullopt;
        }
        if (data.state() != QAbstractSocket::ConnectedState && data.bytesAvailable() == 0)
            return std::nullopt;
        switch (waitForReadable(data, limits)) {
        case FtpStatus::TimedOut:
            session.log.note(QStringLiteral("time-out reading the listing"));
            return FtpResult::TimedOut;
        case FtpStatus::Cancelled:
            return FtpResult::Cancelled;
        default: // bytes, or the end: the next round tells
            break;
        }
    }
}

// The reply that ends a listing command; the listing's value for a refusal, nothing for a
// success.
std::optional<qint16> verdictOf(const FtpReply &reply)
{
    if (reply.isSuccess())
        return std::nullopt;
    return static_cast<qint16>(reply.digit());
}

// Opens the data connection and sends command: right behind the passive request where the
// server's is known (the server waits for the connection before it answers the command), else
// after the connection is made. A refusal of the passive request leaves the command's own
// answer, which is read and set aside.
std::optional<qint16> openAndSend(FtpSession &session, QSslSocket &data, const QByteArray &command)
{
    const QByteArray passive = knownPassiveRequest(session);
    if (passive.isEmpty()) {
        if (const std::optional<qint16> failure = openPassiveData(session, data))
            return failure;
        if (const FtpStatus s = session.control.send(command); s != FtpStatus::Ok)
            return session.commandFailure(s);
        return std::nullopt;
    }
    for (const QByteArray &line : {passive, command}) {
        if (const FtpStatus s = session.control.send(line); s != FtpStatus::Ok)
            return session.commandFailure(s);
    }
    quint16 port = 0;
    if (const std::optional<qint16> refused = readPassivePort(session, &port)) {
        FtpReply unused;
        if (*refused > FtpResult::LowestClientResult ||
            session.control.readFinalReply(&unused) != FtpStatus::Ok)
            session.control.drop(); // what the server still has to say is unknown
        return refused;
    }
    return connectPassiveData(session, data, port);
}

// One listing command on a data connection of its own: the server's go-ahead, the data until
// the server ends it, then its final reply. A refusal comes instead of the go-ahead.
qint16 listing(FtpSession &session, const QByteArray &command, QByteArray *bytes)
{
    QSslSocket data;
    if (const std::optional<qint16> failure = openAndSend(session, data, command))
        return *failure;
    FtpReply reply;
    if (const FtpStatus s = session.control.readReply(&reply); s != FtpStatus::Ok)
        return session.commandFailure(s);
    if (!reply.isPreliminary()) {
        if (const std::optional<qint16> refused = verdictOf(reply))
            return *refused;
    }
    const std::optional<qint16> failure = readListing(session, data, bytes);
    data.abort();
    if (failure) {
        session.control.drop(); // the server's view of the transfer is unknown
        return *failure;
    }
    if (reply.isPreliminary()) {
        if (const FtpStatus s = session.control.readFinalReply(&reply); s != FtpStatus::Ok)
            return session.commandFailure(s);
        if (const std::optional<qint16> refused = verdictOf(reply))
            return *refused;
    }
    return FtpResult::Command::Done;
}

// SIZE for every file whose size the listing left out, the questions all on the wire before
// the first answer is read.
qint16 askSizes(FtpSession &session, const QByteArray &path, QList<RemoteEntry> &entries)
{
    QList<qsizetype> asked;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (entries.at(i).isDirectory || entries.at(i).size >= 0)
            continue;
        const QByteArray name = entries.at(i).name.toUtf8();
        if (const FtpStatus s = session.control.send("SIZE " + joined(path, name));
            s != FtpStatus::Ok)
            return session.commandFailure(s);
        asked.append(i);
    }
    for (const qsizetype i : asked) {
        FtpReply reply;
        if (const FtpStatus s = session.control.readFinalReply(&reply); s != FtpStatus::Ok)
            return session.commandFailure(s);
        if (reply.code == SizeDone && reply.lines.size() == 1) {
            bool ok = false;
            const qint64 size = reply.lines.constFirst().mid(4).trimmed().toLongLong(&ok);
            if (ok && size >= 0)
                entries[i].size = size;
        }
    }
    return FtpResult::Command::Done;
}

} // namespace

qint16 listFtpDirectory(FtpSession &session, const QByteArray &path, QList<RemoteEntry> *entries)
{
    entries->clear();
    if (const FtpStatus s = learnFeatures(session); s != FtpStatus::Ok)
        return session.commandFailure(s);
    // SIZE wants binary type on many servers, and the listing does not mind it.
    FtpReply typeReply;
    if (const FtpStatus s = session.useBinaryType(&typeReply); s != FtpStatus::Ok)
        return session.commandFailure(s);
    const FtpListingFormat format =
        session.features->mlsd ? FtpListingFormat::Mlsd : FtpListingFormat::List;
    const auto commandFor = [&](const QByteArray &verb) {
        return path.isEmpty() ? verb : verb + ' ' + path;
    };
    QByteArray bytes;
    qint16 listed = FtpResult::Command::Done;
    if (format == FtpListingFormat::Mlsd) {
        listed = listing(session, commandFor("MLSD"), &bytes);
    } else if (!session.features->listOptions) {
        listed = listing(session, commandFor("LIST"), &bytes);
    } else {
        listed = listing(session, commandFor("LIST -a"), &bytes);
        // A server that takes "-a" for a name says the directory is not there; only when the
        // plain LIST finds it is "-a" given up for the session.
        if (listed == NotThere && !path.isEmpty()) {
            listed = listing(session, commandFor("LIST"), &bytes);
            if (listed == FtpResult::Command::Done) {
                session.features->listOptions = false;
                session.log.note(QStringLiteral("LIST -a refused; listing without it"));
            }
        }
    }
    if (listed != FtpResult::Command::Done)
        return listed;
    *entries = parseFtpListing(bytes, format);
    session.log.note(
        QStringLiteral("listed %1 entries (%2 bytes)").arg(entries->size()).arg(bytes.size()));
    return askSizes(session, path, *entries);
}

QList<QByteArray> ftpFileDigests(FtpSession &session, const QByteArray &directory,
                                 const QList<QByteArray> &names)
{
    if (learnFeatures(session) != FtpStatus::Ok || !session.features->hashSha256)
        return {};
    if (!session.features->sha256Chosen) {
        FtpReply reply;
        if (session.exchange("OPTS HASH SHA-256", &reply) != FtpStatus::Ok || !reply.isSuccess()) {
            session.features->hashSha256 = false;
            session.digestsOffered = false;
            return {};
        }
        session.features->sha256Chosen = true;
    }
    for (const QByteArray &name : names) {
        if (session.control.send("HASH " + joined(directory, name)) != FtpStatus::Ok)
            return {};
    }
    QList<QByteArray> digests;
    for (qsizetype i = 0; i < names.size(); ++i) {
        FtpReply reply;
        if (session.control.readFinalReply(&reply) != FtpStatus::Ok)
            return {};
        digests.append(parseHashReply(reply));
    }
    return digests;
}

} // namespace Kakiva
