#include "publish/ftp/FtpDataTransfer.h"

#include "publish/ftp/FtpPassiveData.h"
#include "publish/ftp/FtpResult.h"
#include "publish/ftp/FtpSession.h"
#include "publish/ftp/FtpTlsClose.h"

#include <QFile>
#include <QSslSocket>

#include <optional>

namespace Kakiva {

namespace {

constexpr qint64 FileChunk = 64 * 1024;
constexpr qint64 WriteAhead = 256 * 1024; // bytes queued on the data socket at most
constexpr int NoopDone = 200;
constexpr int MaxSettlingReplies = 8;

// When a file's data follows its STOR.
enum class Order
{
    Pipelined, // at once, which saves a round trip per file
    Classic    // after the server's preliminary reply
};

// One STOR, as its steps see it.
struct Transfer
{
    Transfer(const QByteArray &name, QFile &file, Order order)
        : name(name), file(file), order(order)
    {
    }

    const QByteArray &name;
    QFile &file;
    const Order order;
    QSslSocket data;
    std::optional<FtpReply> final; // the server's last word on the STOR, once it came
    bool storSent = false;         // the command went out: the order can matter from here
    bool allSent = false;          // every byte went out
    bool dataLost = false;         // the data connection broke or was reset
    bool dataDropped = false;      // the server threw away data that came ahead of the STOR
    bool unclosedTls = false;      // the server ended TLS on the data without its close alert
};

// How a server answers a transfer whose data connection it lost or never had: the usual
// answer when it threw away data that came before the command.
bool complainsOfDataConnection(const FtpReply &reply)
{
    return reply.code == 425 || reply.code == 426;
}

// A pipelined store that failed this way may have failed for its order alone: a server that
// quietly drops data which came before it took STOR leaves the transfer hanging (a time-out),
// breaks the connection, or answers nonsense. A refusal of the file itself (5xx), a cancel, or a
// local file that cannot be read would have failed in the classic order too.
bool classicOrderMayAvoid(qint16 result)
{
    switch (result) {
    case FtpResult::TimedOut:
    case FtpResult::NotConnected:
    case FtpResult::BadReply:
    case FtpResult::TransferIncomplete:
        return true;
    default:
        return result < 0 && complainsOfDataConnection(FtpReply{static_cast<int>(-result), {}});
    }
}

QString tlsEndNote(TlsDataEnd end, const QSslSocket &data)
{
    switch (end) {
    case TlsDataEnd::Reset:
        return QStringLiteral("the server reset the data connection after our last byte");
    case TlsDataEnd::NoCloseAlert:
        return QStringLiteral("the server ended the data connection without its TLS close alert");
    default:
        return QStringLiteral("the data connection did not end: %1").arg(data.errorString());
    }
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

// What a step of a store comes to: nothing while the store goes on, PutFile's result once it
// has ended. (A bare 0 would read as "go on" here and as "no local file" to the caller.)
using Ended = std::optional<qint16>;
constexpr Ended GoOn = std::nullopt;

class Store
{
public:
    explicit Store(FtpSession &session) : m_session(session), m_log(session.log) {}

    Ended useBinaryType();
    qint16 run(Transfer &t);

private:
    Ended openDataConnection(Transfer &t);
    Ended awaitGoAhead();
    void secureData(Transfer &t);
    Ended sendData(Transfer &t);
    Ended awaitFinal(Transfer &t);
    qint16 afterDataConnectionLost(Transfer &t);
    qint16 settleLostTransfer(Transfer &t);
    qint16 verdict(Transfer &t);
    qint16 storedSizeMatches(Transfer &t);

    FtpSession &m_session;
    SessionLog &m_log;
};

Ended Store::useBinaryType()
{
    FtpReply reply;
    if (const FtpStatus s = m_session.useBinaryType(&reply); s != FtpStatus::Ok)
        return m_session.commandFailure(s);
    if (!m_session.binaryType)
        return serverRefusal(reply);
    return GoOn;
}

// One STOR. A refusal always wins, in either order: it is picked up while sending or after,
// and only a final 2xx that comes after the last byte counts as stored.
qint16 Store::run(Transfer &t)
{
    if (const Ended failure = openDataConnection(t))
        return *failure;
    if (const FtpStatus s = m_session.control.send("STOR " + t.name); s != FtpStatus::Ok)
        return m_session.commandFailure(s);
    t.storSent = true;
    if (t.order == Order::Classic) {
        if (const Ended refused = awaitGoAhead())
            return *refused;
    }
    if (m_session.isTls())
        secureData(t); // may find the data connection lost already
    if (const Ended failure = t.dataLost ? GoOn : sendData(t)) {
        m_session.control.drop(); // the server's view of the transfer is unknown
        return *failure;
    }
    if (t.allSent) {
        if (const Ended failure = awaitFinal(t))
            return *failure;
    }
    t.data.abort();
    return t.dataLost ? afterDataConnectionLost(t) : verdict(t);
}

Ended Store::openDataConnection(Transfer &t)
{
    return openPassiveData(m_session, t.data);
}

Ended Store::awaitGoAhead()
{
    FtpReply reply;
    if (const FtpStatus s = m_session.control.readReply(&reply); s != FtpStatus::Ok)
        return m_session.commandFailure(s);
    if (reply.isPreliminary()) {
        m_session.control.expectAnswer(); // to the data about to be sent
        return GoOn;
    }
    if (reply.isSuccess()) {
        m_log.note(QStringLiteral("the server confirmed before any byte was sent"));
        return FtpResult::TransferIncomplete;
    }
    return serverRefusal(reply);
}

// Data goes only once the handshake is made, and only to the server whose certificate the
// control connection accepted. A failure here leaves the STOR to be settled as any lost data
// connection is.
void Store::secureData(Transfer &t)
{
    const FtpStatus s = waitForEncrypted(t.data, m_session.waits.fromNow());
    if (s != FtpStatus::Ok) {
        m_log.note(
            QStringLiteral("TLS on the data connection failed: %1").arg(t.data.errorString()));
        t.dataLost = true;
    } else if (t.data.peerCertificate() != m_session.tlsCertificate) {
        m_log.note(QStringLiteral("the data connection showed another certificate"));
        t.dataLost = true;
    }
    if (t.dataLost)
        t.data.abort();
}

// Sends until every byte is out, the server has its final say early, or the data connection
// breaks; returns a failure only when the transfer cannot go on at all.
Ended Store::sendData(Transfer &t)
{
    FtpWaitLimits limits = m_session.waits.fromNow();
    for (;;) {
        if (!queueFileData(t.file, t.data)) {
            m_log.note(QStringLiteral("reading %1 failed: %2")
                           .arg(t.file.fileName(), t.file.errorString()));
            return FtpResult::LocalFileUnreadable;
        }
        if (t.file.atEnd() && t.data.bytesToWrite() == 0) {
            t.allSent = true;
            return GoOn;
        }
        FtpReply reply;
        bool received = false;
        if (const FtpStatus s = m_session.control.pollReply(&reply, &received); s != FtpStatus::Ok)
            return m_session.commandFailure(s);
        if (received && !reply.isPreliminary()) {
            t.final = reply;
            return GoOn;
        }
        switch (writeSlice(t.data, limits)) {
        case FtpStatus::Ok:
            limits = m_session.waits.fromNow(); // a transfer may take long while it moves
            break;
        case FtpStatus::TimedOut:
            m_log.note(QStringLiteral("time-out sending the file"));
            return FtpResult::TimedOut;
        case FtpStatus::Cancelled:
            m_log.note(QStringLiteral("cancelled while sending the file"));
            return FtpResult::Cancelled;
        case FtpStatus::Failed:
            m_log.note(QStringLiteral("data connection broke: %1").arg(t.data.errorString()));
            t.dataLost = true;
            return GoOn;
        default: // Pending: nothing left in this slice
            break;
        }
    }
}

// Every byte is out. A TLS data connection is closed with its close alert, and counts only
// when the server answers with its own. A plain one is half closed instead: a server that
// stopped reading resets it, which fails the store whatever the server then says; in the
// pipelined order that reset is also the one sign of a server that will not send its final
// reply.
Ended Store::awaitFinal(Transfer &t)
{
    if (m_session.isTls()) {
        const TlsDataEnd end = closeTls(t.data, m_session.waits.fromNow());
        if (end == TlsDataEnd::NoCloseAlert) {
            // Many servers end so whatever they stored; the size they then hold decides.
            m_log.note(tlsEndNote(end, t.data));
            t.unclosedTls = true;
        } else if (end != TlsDataEnd::Clean) {
            m_log.note(tlsEndNote(end, t.data));
            t.dataLost = true;
            return GoOn;
        }
    } else if (!finishSending(t.data)) {
        m_log.note(
            QStringLiteral("data connection lost before its end: %1").arg(t.data.errorString()));
        t.dataLost = true;
        return GoOn;
    }
    bool reset = false;
    const auto resetByServer = [&] {
        reset = reset || wasResetByPeer(t.data);
        return reset;
    };
    FtpReply reply;
    const FtpStatus s = m_session.control.readFinalReply(&reply, resetByServer);
    if (s == FtpStatus::Interrupted) {
        m_log.note(QStringLiteral("the server reset the data connection"));
        t.dataLost = true;
        return GoOn;
    }
    if (s != FtpStatus::Ok)
        return m_session.commandFailure(s);
    // A reset behind a success still means the server stopped reading part-way.
    if (reply.isSuccess() && resetByServer()) {
        m_log.note(QStringLiteral("the server reset the data connection after our last byte"));
        return FtpResult::TransferIncomplete;
    }
    t.final = reply;
    return GoOn;
}

qint16 Store::afterDataConnectionLost(Transfer &t)
{
    if (t.order == Order::Pipelined)
        return settleLostTransfer(t);
    FtpReply reply;
    if (const FtpStatus s = m_session.control.readFinalReply(&reply); s != FtpStatus::Ok)
        return m_session.commandFailure(s);
    // A transfer we did not complete is no success, whatever the server says of it.
    return reply.isSuccess() ? FtpResult::TransferIncomplete : serverRefusal(reply);
}

// The data connection ended early in the pipelined order. A server that dropped data which
// came before it had taken STOR may answer STOR with a preliminary reply and then wait for a
// data connection that never comes, so its final reply cannot be waited for. A NOOP puts a
// reply we know behind whatever the server still has to say about the STOR.
qint16 Store::settleLostTransfer(Transfer &t)
{
    if (const FtpStatus s = m_session.control.send("NOOP"); s != FtpStatus::Ok)
        return m_session.commandFailure(s);
    for (int count = 0; count < MaxSettlingReplies; ++count) {
        FtpReply reply;
        if (const FtpStatus s = m_session.control.readReply(&reply); s != FtpStatus::Ok)
            return m_session.commandFailure(s);
        if (reply.isServiceClosing())
            return serverRefusal(reply);
        if (reply.isPreliminary())
            continue;
        if (t.final) // the NOOP's own reply: the STOR has had its say
            return verdict(t);
        if (reply.code == NoopDone) {
            m_log.note(QStringLiteral("the server left STOR without a final reply"));
            t.dataDropped = true;
            return FtpResult::TransferIncomplete;
        }
        t.final = reply;
    }
    m_log.note(QStringLiteral("too many replies after a lost data connection"));
    m_session.control.drop();
    return FtpResult::BadReply;
}

qint16 Store::verdict(Transfer &t)
{
    if (t.final->isSuccess()) {
        if (t.allSent && t.unclosedTls)
            return storedSizeMatches(t);
        if (t.allSent)
            return FtpResult::PutFile::Stored;
        m_log.note(QStringLiteral("the server confirmed before the last byte was sent"));
        return FtpResult::TransferIncomplete;
    }
    t.dataDropped = t.order == Order::Pipelined && complainsOfDataConnection(*t.final);
    return serverRefusal(*t.final);
}

// A TLS data connection the server ended without its close alert does not say it read every
// byte; the file counts as stored only when the server holds all of them.
qint16 Store::storedSizeMatches(Transfer &t)
{
    FtpReply reply;
    if (const FtpStatus s = m_session.exchange("SIZE " + t.name, &reply); s != FtpStatus::Ok)
        return m_session.commandFailure(s);
    const auto size = sizeIn(reply);
    if (size && *size == t.file.size())
        return FtpResult::PutFile::Stored;
    m_log.note(QStringLiteral("the server holds %1 bytes of %2 bytes sent")
                   .arg(size ? QString::number(*size) : QStringLiteral("no"))
                   .arg(t.file.size()));
    return FtpResult::TransferIncomplete;
}

} // namespace

// A file is sent in the pipelined order while the server copes with it. A server that only
// reads the data connection after it has taken STOR drops data that overtook the command on
// the way (a lost and resent segment is enough); that file is sent once more in the classic
// order, which the rest of the session keeps.
qint16 storeFile(FtpSession &session, const QByteArray &name, QFile &file)
{
    Store store(session);
    if (const Ended failure = store.useBinaryType())
        return *failure;
    // An empty file has nothing to send ahead, and an early end of file that the server
    // dropped could not be told from one it took.
    // Under TLS the data waits for its handshake, which a strict server makes only once it
    // has taken STOR, so sending ahead gains nothing there.
    const bool pipelined = session.pipelining && file.size() > 0 && !session.isTls();
    Transfer first(name, file, pipelined ? Order::Pipelined : Order::Classic);
    const qint16 result = store.run(first);
    if (first.order == Order::Pipelined && first.storSent && classicOrderMayAvoid(result)) {
        // The session is over; the next one to this server should not try again.
        session.log.note(QStringLiteral("a store with the data sent ahead of STOR failed; "
                                        "the classic order is advised for this server"));
        session.pipelining = false;
        session.fellBackToClassic = true;
    }
    if (!first.dataDropped)
        return result;
    session.log.note(QStringLiteral("the server dropped the data sent ahead of STOR; sending the "
                                    "file again, after its preliminary reply from now on"));
    session.pipelining = false;
    session.fellBackToClassic = true;
    ++session.stats.storesResent;
    if (!file.seek(0))
        return FtpResult::LocalFileUnreadable;
    Transfer again(name, file, Order::Classic);
    return store.run(again);
}

} // namespace Kakiva
