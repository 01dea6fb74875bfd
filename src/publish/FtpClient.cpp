#include "publish/FtpClient.h"

#include "publish/ControlCharacters.h"
#include "publish/FtpControlChannel.h"
#include "publish/FtpLog.h"
#include "publish/FtpReply.h"
#include "publish/FtpResult.h"
#include "publish/FtpServerAddress.h"
#include "publish/FtpSocketWait.h"

#include <QFile>
#include <QFileInfo>
#include <QTcpSocket>

#include <algorithm>
#include <optional>

namespace Kakiva {

using Status = FtpControlChannel::Status;

namespace {

constexpr qint64 FileChunk = 64 * 1024;
constexpr qint64 WriteAhead = 256 * 1024; // bytes queued on the data socket at most
constexpr int NoopDone = 200;
constexpr int MaxSettlingReplies = 8;

qint16 serverRefusal(const FtpReply &reply)
{
    return static_cast<qint16>(-reply.code);
}

// How a server answers a transfer whose data connection it lost or never had: the usual
// answer when it threw away data that came before the command.
bool complainsOfDataConnection(const FtpReply &reply)
{
    return reply.code == 425 || reply.code == 426;
}

// Keeps at most WriteAhead bytes queued; false when the file could not be read.
bool queueFileData(QFile &file, QTcpSocket &data)
{
    while (data.bytesToWrite() < WriteAhead && !file.atEnd()) {
        const QByteArray chunk = file.read(FileChunk);
        if (chunk.isEmpty())
            return false;
        data.write(chunk);
    }
    return true;
}

} // namespace

struct FtpClient::Private
{
    enum class Passive
    {
        Untried,
        Extended,
        Classic
    };
    enum class Sending
    {
        AllSent,
        FinalReplyEarly,
        DataConnectionBroke,
        Failed
    };
    // When a file's data follows its STOR.
    enum class Order
    {
        Pipelined, // at once, which saves a round trip per file
        Classic    // after the server's preliminary reply
    };

    FtpLog log;
    WireStats stats;
    FtpWaitSettings waits;
    FtpControlChannel control{log, stats, waits};
    bool binaryType = false;
    Passive passive = Passive::Untried;
    bool pipelining = true; // until the server drops data that came ahead of its STOR

    void endSession();
    qint16 openFailure(Status status) const;
    qint16 connectFailure(Status status, qint16 forBadReply) const;
    qint16 commandFailure(Status status) const;
    qint16 greetAndLogin(const QString &user, const QString &password);
    Status exchange(const QByteArray &line, FtpReply *reply);
    qint16 useBinaryType();
    qint16 requestPassivePort(quint16 *port);
    qint16 openDataConnection(QTcpSocket &data);
    qint16 storeFile(const QByteArray &name, QFile &file);
    qint16 storeOnce(const QByteArray &name, QFile &file, Order order, bool *dataDropped);
    qint16 store(const QByteArray &name, QFile &file, QTcpSocket &data, Order order,
                 bool *dataDropped);
    qint16 awaitGoAhead(FtpReply *reply);
    Sending sendFileData(QFile &file, QTcpSocket &data, FtpReply *reply, qint16 *failure);
    qint16 awaitStored(QTcpSocket &data, Order order, bool *dataDropped);
    qint16 afterDataConnectionLost(Order order, bool allSent, bool *dataDropped);
    qint16 settleLostTransfer(bool allSent, bool *dataDropped);
    qint16 transferOutcome(const FtpReply &reply, bool allSent, Order order, bool *dataDropped);
};

void FtpClient::Private::endSession()
{
    control.drop();
    binaryType = false;
    passive = Passive::Untried;
    pipelining = true;
}

qint16 FtpClient::Private::openFailure(Status status) const
{
    if (status != Status::SocketError)
        return connectFailure(status, FtpResult::UnexpectedReply);
    switch (control.lastError()) {
    case QAbstractSocket::HostNotFoundError:
    case QAbstractSocket::ConnectionRefusedError:
        return FtpResult::SocketNotOpened;
    default:
        return connectFailure(status, FtpResult::UnexpectedReply);
    }
}

qint16 FtpClient::Private::connectFailure(Status status, qint16 forBadReply) const
{
    switch (status) {
    case Status::TimedOut:
    case Status::Cancelled:
        return FtpResult::ConnectTimedOut;
    case Status::BadReply:
        return forBadReply;
    case Status::SocketError:
        return control.lastError() == QAbstractSocket::SocketTimeoutError
                   ? FtpResult::ConnectTimedOut
                   : FtpResult::socketErrorResult(control.lastError());
    default:
        return FtpResult::ClosedByServer;
    }
}

qint16 FtpClient::Private::commandFailure(Status status) const
{
    switch (status) {
    case Status::TimedOut:
        return FtpResult::TimedOut;
    case Status::Cancelled:
        return FtpResult::Cancelled;
    case Status::BadReply:
        return FtpResult::BadReply;
    default:
        return FtpResult::NotConnected;
    }
}

qint16 FtpClient::Private::greetAndLogin(const QString &user, const QString &password)
{
    FtpReply reply;
    if (const Status s = control.readFinalReply(&reply); s != Status::Ok)
        return connectFailure(s, FtpResult::BadGreeting);
    if (reply.code != 220)
        return reply.isServiceClosing() ? FtpResult::ClosedByServer : FtpResult::BadGreeting;

    const auto refused = [](const FtpReply &reply, qint16 refusal) {
        if (reply.isServiceClosing())
            return FtpResult::ClosedByServer;
        return reply.isRefusal() ? refusal : FtpResult::UnexpectedReply;
    };
    if (const Status s = exchange("USER " + user.toUtf8(), &reply); s != Status::Ok)
        return connectFailure(s, FtpResult::UnexpectedReply);
    if (reply.code == 230)
        return FtpResult::Connected;
    if (reply.code != 331)
        return refused(reply, FtpResult::UserRefused);
    if (const Status s = exchange("PASS " + password.toUtf8(), &reply); s != Status::Ok)
        return connectFailure(s, FtpResult::UnexpectedReply);
    if (reply.code == 230 || reply.code == 202)
        return FtpResult::Connected;
    return refused(reply, FtpResult::PasswordRefused);
}

Status FtpClient::Private::exchange(const QByteArray &line, FtpReply *reply)
{
    const Status sent = control.send(line);
    return sent == Status::Ok ? control.readFinalReply(reply) : sent;
}

qint16 FtpClient::Private::useBinaryType()
{
    if (binaryType)
        return 0;
    FtpReply reply;
    if (const Status s = exchange("TYPE I", &reply); s != Status::Ok)
        return commandFailure(s);
    if (!reply.isSuccess())
        return serverRefusal(reply);
    binaryType = true;
    return 0;
}

qint16 FtpClient::Private::requestPassivePort(quint16 *port)
{
    FtpReply reply;
    if (passive != Passive::Classic) {
        if (const Status s = exchange("EPSV", &reply); s != Status::Ok)
            return commandFailure(s);
        if (reply.code == 229) {
            const auto extended = extendedPassivePort(reply);
            if (!extended)
                return FtpResult::BadReply;
            passive = Passive::Extended;
            *port = *extended;
            return 0;
        }
        // A server that has never heard of EPSV says so with a 5xx; one that knew it and now
        // fails is in trouble PASV would not cure.
        if (passive != Passive::Untried || reply.digit() != 5)
            return serverRefusal(reply);
        log.note(QStringLiteral("EPSV not supported; using PASV for this session"));
        passive = Passive::Classic;
    }
    if (const Status s = exchange("PASV", &reply); s != Status::Ok)
        return commandFailure(s);
    if (reply.code != 227)
        return serverRefusal(reply);
    const auto classic = passivePort(reply);
    if (!classic)
        return FtpResult::BadReply;
    *port = *classic;
    return 0;
}

qint16 FtpClient::Private::openDataConnection(QTcpSocket &data)
{
    quint16 port = 0;
    if (const qint16 failure = requestPassivePort(&port); failure != 0)
        return failure;
    const QHostAddress host = control.peerAddress();
    log.note(QStringLiteral("data connection to %1 port %2").arg(host.toString()).arg(port));
    switch (connectSocket(data, host, port, waits.fromNow())) {
    case FtpWait::Done:
        return 0;
    case FtpWait::TimedOut:
        log.note(QStringLiteral("time-out opening the data connection"));
        return FtpResult::TimedOut;
    case FtpWait::Cancelled:
        return FtpResult::Cancelled;
    default:
        log.note(QStringLiteral("data connection failed: %1").arg(data.errorString()));
        return FtpResult::DataConnectionFailed;
    }
}

// A file is sent in the pipelined order while the server copes with it. A server that only
// reads the data connection after it has taken STOR drops data that overtook the command on
// the way (a lost and resent segment is enough); that file is sent once more in the classic
// order, which the rest of the session keeps.
qint16 FtpClient::Private::storeFile(const QByteArray &name, QFile &file)
{
    // An empty file has nothing to send ahead, and an early end of file that the server
    // dropped could not be told from one it took.
    const Order order = pipelining && file.size() > 0 ? Order::Pipelined : Order::Classic;
    bool dataDropped = false;
    const qint16 result = storeOnce(name, file, order, &dataDropped);
    if (!dataDropped)
        return result;
    log.note(QStringLiteral("the server dropped the data sent ahead of STOR; sending the file "
                            "again, after its preliminary reply from now on"));
    pipelining = false;
    ++stats.storesResent;
    if (!file.seek(0))
        return FtpResult::LocalFileUnreadable;
    return storeOnce(name, file, Order::Classic, &dataDropped);
}

qint16 FtpClient::Private::storeOnce(const QByteArray &name, QFile &file, Order order,
                                     bool *dataDropped)
{
    *dataDropped = false;
    QTcpSocket data;
    if (const qint16 failure = openDataConnection(data); failure != 0)
        return failure;
    return store(name, file, data, order, dataDropped);
}

// A refusal always wins, in either order: it is picked up while sending or after, and only a
// final 2xx that comes after the last byte counts as stored. *dataDropped is set only in the
// pipelined order, when the failure is one that early data explains.
qint16 FtpClient::Private::store(const QByteArray &name, QFile &file, QTcpSocket &data, Order order,
                                 bool *dataDropped)
{
    if (const Status s = control.send("STOR " + name); s != Status::Ok)
        return commandFailure(s);
    FtpReply reply;
    if (order == Order::Classic) {
        if (const qint16 refused = awaitGoAhead(&reply); refused != 0)
            return refused;
    }
    qint16 failure = 0;
    switch (sendFileData(file, data, &reply, &failure)) {
    case Sending::Failed:
        data.abort();
        control.drop(); // the server's view of the transfer is unknown
        return failure;
    case Sending::FinalReplyEarly:
        data.abort();
        return transferOutcome(reply, false, order, dataDropped);
    case Sending::DataConnectionBroke:
        data.abort();
        return afterDataConnectionLost(order, false, dataDropped);
    case Sending::AllSent:
        break;
    }
    return awaitStored(data, order, dataDropped);
}

qint16 FtpClient::Private::awaitGoAhead(FtpReply *reply)
{
    if (const Status s = control.readReply(reply); s != Status::Ok)
        return commandFailure(s);
    if (reply->isPreliminary()) {
        control.expectAnswer(); // to the data about to be sent
        return 0;
    }
    if (reply->isSuccess()) {
        log.note(QStringLiteral("the server confirmed before any byte was sent"));
        return FtpResult::TransferIncomplete;
    }
    return serverRefusal(*reply);
}

FtpClient::Private::Sending FtpClient::Private::sendFileData(QFile &file, QTcpSocket &data,
                                                             FtpReply *reply, qint16 *failure)
{
    FtpWaitLimits limits = waits.fromNow();
    for (;;) {
        if (!queueFileData(file, data)) {
            log.note(
                QStringLiteral("reading %1 failed: %2").arg(file.fileName(), file.errorString()));
            *failure = FtpResult::LocalFileUnreadable;
            return Sending::Failed;
        }
        if (file.atEnd() && data.bytesToWrite() == 0)
            return Sending::AllSent;
        bool received = false;
        if (const Status s = control.pollReply(reply, &received); s != Status::Ok) {
            *failure = commandFailure(s);
            return Sending::Failed;
        }
        if (received && !reply->isPreliminary())
            return Sending::FinalReplyEarly;
        switch (writeSlice(data, limits)) {
        case FtpWait::Done:
            limits = waits.fromNow(); // a transfer may take long while it moves
            break;
        case FtpWait::Pending:
            break;
        case FtpWait::TimedOut:
            log.note(QStringLiteral("time-out sending the file"));
            *failure = FtpResult::TimedOut;
            return Sending::Failed;
        case FtpWait::Cancelled:
            log.note(QStringLiteral("cancelled while sending the file"));
            *failure = FtpResult::Cancelled;
            return Sending::Failed;
        case FtpWait::Interrupted: // these limits set no condition
        case FtpWait::Failed:
            log.note(QStringLiteral("data connection broke: %1").arg(data.errorString()));
            return Sending::DataConnectionBroke;
        }
    }
}

// Every byte is out. The data connection is half closed instead of closed: a server that
// dropped the data unread resets it, and in the pipelined order that reset is the one sign
// of a server that will not send its final reply.
qint16 FtpClient::Private::awaitStored(QTcpSocket &data, Order order, bool *dataDropped)
{
    if (!finishSending(data)) {
        log.note(QStringLiteral("data connection lost before its end: %1").arg(data.errorString()));
        data.abort();
        return afterDataConnectionLost(order, true, dataDropped);
    }
    bool reset = false;
    const auto resetByServer = [&] {
        reset = reset || wasResetByPeer(data);
        return reset;
    };
    FtpReply reply;
    const Status s = order == Order::Pipelined ? control.readFinalReply(&reply, resetByServer)
                                               : control.readFinalReply(&reply);
    data.abort();
    if (s == Status::Interrupted) {
        log.note(QStringLiteral("the server reset the data connection"));
        return afterDataConnectionLost(order, true, dataDropped);
    }
    if (s != Status::Ok)
        return commandFailure(s);
    return transferOutcome(reply, true, order, dataDropped);
}

qint16 FtpClient::Private::afterDataConnectionLost(Order order, bool allSent, bool *dataDropped)
{
    if (order == Order::Pipelined)
        return settleLostTransfer(allSent, dataDropped);
    FtpReply reply;
    if (const Status s = control.readFinalReply(&reply); s != Status::Ok)
        return commandFailure(s);
    return reply.isSuccess() ? FtpResult::TransferIncomplete : serverRefusal(reply);
}

// The data connection ended early in the pipelined order. A server that dropped data which
// came before it had taken STOR may answer STOR with a preliminary reply and then wait for a
// data connection that never comes, so its final reply cannot be waited for. A NOOP puts a
// reply we know behind whatever the server still has to say about the STOR.
qint16 FtpClient::Private::settleLostTransfer(bool allSent, bool *dataDropped)
{
    if (const Status s = control.send("NOOP"); s != Status::Ok)
        return commandFailure(s);
    std::optional<FtpReply> storeFinal;
    for (int count = 0; count < MaxSettlingReplies; ++count) {
        FtpReply reply;
        if (const Status s = control.readReply(&reply); s != Status::Ok)
            return commandFailure(s);
        if (reply.isServiceClosing())
            return serverRefusal(reply);
        if (reply.isPreliminary())
            continue;
        if (storeFinal) // the NOOP's own reply: the STOR has had its say
            return transferOutcome(*storeFinal, allSent, Order::Pipelined, dataDropped);
        if (reply.code == NoopDone) {
            log.note(QStringLiteral("the server left STOR without a final reply"));
            *dataDropped = true;
            return FtpResult::TransferIncomplete;
        }
        storeFinal = reply;
    }
    log.note(QStringLiteral("too many replies after a lost data connection"));
    control.drop();
    return FtpResult::BadReply;
}

qint16 FtpClient::Private::transferOutcome(const FtpReply &reply, bool allSent, Order order,
                                           bool *dataDropped)
{
    if (reply.isSuccess()) {
        if (allSent)
            return FtpResult::Stored;
        log.note(QStringLiteral("the server confirmed before the last byte was sent"));
        return FtpResult::TransferIncomplete;
    }
    *dataDropped = order == Order::Pipelined && complainsOfDataConnection(reply);
    return serverRefusal(reply);
}

FtpClient::FtpClient() : d(std::make_unique<Private>()) {}

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
    d->endSession();
    const auto address = parseFtpServerAddress(server);
    if (!address) {
        d->log.note(QStringLiteral("no usable server address in \"%1\"").arg(server));
        return FtpResult::SocketNotOpened;
    }
    if (holdsControlCharacter(user)) {
        d->log.note(QStringLiteral("the user name holds a control character; nothing sent"));
        return FtpResult::UserRefused;
    }
    if (holdsControlCharacter(password)) {
        d->log.note(QStringLiteral("the password holds a control character; nothing sent"));
        return FtpResult::PasswordRefused;
    }
    d->log.setSecret(password);
    if (const Status s = d->control.open(*address); s != Status::Ok)
        return d->openFailure(s);
    const qint16 result = d->greetAndLogin(user, password);
    if (result != FtpResult::Connected)
        d->endSession();
    return result;
}

qint16 FtpClient::Command(const QString &line)
{
    if (line.isEmpty() || holdsControlCharacter(line)) {
        d->log.note(QStringLiteral("command refused: empty or holding a control character"));
        return FtpResult::LineRefused;
    }
    FtpReply reply;
    if (const Status s = d->exchange(line.toUtf8(), &reply); s != Status::Ok)
        return d->commandFailure(s);
    return static_cast<qint16>(reply.digit());
}

qint16 FtpClient::PutFile(const QString &localPath, const QString &remoteName)
{
    const QFileInfo info(localPath);
    if (!info.exists()) {
        d->log.note(QStringLiteral("local file not found: %1").arg(localPath));
        return FtpResult::LocalFileMissing;
    }
    const QString name = remoteName.isEmpty() ? info.fileName() : remoteName;
    if (name.isEmpty() || holdsControlCharacter(name)) {
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
    if (const qint16 failure = d->useBinaryType(); failure != 0)
        return failure;
    return d->storeFile(name.toUtf8(), file);
}

void FtpClient::Close()
{
    d->control.quit();
    d->endSession();
}

void FtpClient::CloseLog()
{
    d->log.close();
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
