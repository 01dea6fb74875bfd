#include "ScriptedFtpSession.h"

#include "TlsReadyServer.h"
#include <QCryptographicHash>
#include <QDir>

#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <utility>

#include <sys/socket.h>
#include <unistd.h>

namespace {

// Long enough that the client has read the piece before the next one is written.
constexpr int PiecePauseMs = 30;
// A stalled data connection takes no more than this, so the client's sending blocks.
constexpr qint64 StalledReadBuffer = 4096;
// How late a STOR is taken when early data is reset: ample time for data sent right behind it.
constexpr int LateStoreMs = 200;

// Closes so that the peer sees a reset, as a close with unread data does, even though Qt has
// already read the data from the system.
void resetConnection(QTcpSocket *socket)
{
    const linger abortive{1, 0};
    ::setsockopt(static_cast<int>(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &abortive,
                 sizeof abortive);
    socket->abort();
}

QByteArray commaHost(const QHostAddress &address)
{
    bool isIpv4 = false;
    const quint32 ipv4 = address.toIPv4Address(&isIpv4);
    if (!isIpv4)
        return "127,0,0,1";
    return QByteArray::number(ipv4 >> 24) + ',' + QByteArray::number((ipv4 >> 16) & 0xff) + ',' +
           QByteArray::number((ipv4 >> 8) & 0xff) + ',' + QByteArray::number(ipv4 & 0xff);
}

} // namespace

ScriptedFtpSession::ScriptedFtpSession(QTcpSocket *control, ScriptedFtpScript &script,
                                       const QHostAddress &address, QObject *parent)
    : QObject(parent), m_control(control), m_script(script), m_address(address)
{
    m_control->setParent(this);
    m_control->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(m_control, &QTcpSocket::readyRead, this, &ScriptedFtpSession::readCommands);
    connect(m_control, &QTcpSocket::disconnected, this, [this] {
        m_script.recordDisconnection();
        if (m_heldOpen < 0)
            deleteLater();
    });
    m_script.recordConnection();
    reply(m_script.greeting());
}

ScriptedFtpSession::~ScriptedFtpSession()
{
    closeData();
    if (m_heldOpen >= 0)
        ::close(m_heldOpen);
}

void ScriptedFtpSession::readCommands()
{
    m_input.append(m_control->readAll());
    for (qsizetype end = m_input.indexOf('\n'); end >= 0; end = m_input.indexOf('\n')) {
        QByteArray line = m_input.left(end);
        m_input.remove(0, end + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        m_pending.append(line);
    }
    // Whatever came with the first command is lost.
    if (m_script.oneCommandAtATime() && m_pending.size() > 1) {
        m_pending = m_pending.mid(0, 1);
        m_input.clear();
    }
    if (m_script.renamesOutOfOrder() && m_pending.size() > 1 &&
        std::any_of(m_pending.cbegin(), m_pending.cend(),
                    [](const QByteArray &line) { return line.startsWith("RNFR "); }))
        std::reverse(m_pending.begin(), m_pending.end());
    answerPending();
}

void ScriptedFtpSession::answerPending()
{
    while (idle() && !m_pending.isEmpty() && m_control->state() == QAbstractSocket::ConnectedState)
        answer(m_pending.takeFirst());
}

void ScriptedFtpSession::answer(const QByteArray &line)
{
    m_script.recordCommand(line);
    const qsizetype space = line.indexOf(' ');
    const QByteArray verb = line.left(space < 0 ? line.size() : space).toUpper();
    const QByteArray argument = space < 0 ? QByteArray() : line.mid(space + 1);
    if (verb == "STOR") {
        if (m_script.earlyData() != ScriptedFtpScript::EarlyData::Taken)
            takeStoreLate(argument);
        else
            startStore(argument);
        return;
    }
    const auto scripted = m_script.takeReply(verb);
    if (scripted && !scripted->usual) {
        reply(*scripted);
        // A scripted 234 starts TLS as the built-in one does, whatever follows it.
        if (verb == "AUTH" && scripted->pieces.value(0).startsWith("234") &&
            !m_script.tlsConfiguration().isNull())
            startTls(m_control);
    } else {
        answerBuiltIn(verb, argument);
    }
}

void ScriptedFtpSession::answerBuiltIn(const QByteArray &verb, const QByteArray &argument)
{
    if (verb == "USER")
        reply("331 Password required\r\n");
    else if (verb == "PASS")
        reply("230 Logged in\r\n");
    else if (verb == "TYPE" || verb == "NOOP" || verb == "PBSZ")
        reply("200 OK\r\n");
    else if (verb == "PROT")
        reply((m_protectData = argument == "P") ? "200 Data protected\r\n" : "200 Clear\r\n");
    else if (verb == "AUTH" && !m_script.tlsConfiguration().isNull()) {
        reply("234 Go ahead\r\n");
        startTls(m_control);
    } else if (verb == "PWD")
        reply("257 \"" + m_cwd.toUtf8() + "\" is the current directory\r\n");
    else if (verb == "CWD")
        changeDirectory(argument);
    else if (verb == "MKD")
        makeDirectory(argument);
    else if (verb == "EPSV" || verb == "PASV")
        openPassive(verb == "EPSV");
    else if (verb == "SIZE")
        answerSize(argument);
    else if (verb == "RNFR")
        answerRenameFrom(argument);
    else if (verb == "RNTO")
        answerRenameTo(argument);
    else if (verb == "DELE")
        answerDelete(argument);
    else if (verb == "FEAT" && m_script.digests() != ScriptedFtpScript::Digests::None)
        reply("211-Features:\r\n SIZE\r\n HASH SHA-256*;SHA-1\r\n211 End\r\n");
    else if (verb == "OPTS" && m_script.digests() != ScriptedFtpScript::Digests::None)
        reply("200 OK\r\n");
    else if (verb == "HASH" && m_script.digests() != ScriptedFtpScript::Digests::None)
        answerHash(argument);
    else if ((verb == "MLSD" || verb == "LIST") && m_script.listing())
        startListing();
    else if (verb == "QUIT")
        reply(ScriptedReply::closing("221 Goodbye\r\n"));
    else
        reply("502 Command not implemented\r\n");
}

// Pieces after the first are written from a timer, so they reach the client separately.
void ScriptedFtpSession::reply(const ScriptedReply &reply)
{
    if (reply.pieces.isEmpty()) {
        if (reply.closeAfter)
            m_control->disconnectFromHost();
        return;
    }
    writePiece(reply, 0);
}

void ScriptedFtpSession::writePiece(const ScriptedReply &reply, int index)
{
    m_control->write(reply.pieces.at(index));
    m_control->flush();
    if (index + 1 < reply.pieces.size()) {
        m_writing = true;
        QTimer::singleShot(PiecePauseMs, this, [this, reply, index] {
            writePiece(reply, index + 1);
            if (!m_writing) {
                readData();
                answerPending();
            }
        });
        return;
    }
    m_writing = false;
    if (reply.closeAfter)
        m_control->disconnectFromHost();
    else if (reply.afterCloseAlert)
        endTlsInPlace(*reply.afterCloseAlert);
}

void ScriptedFtpSession::changeDirectory(const QByteArray &argument)
{
    const QString path = resolve(argument);
    if (!m_script.hasDirectory(path)) {
        reply("550 No such directory\r\n");
        return;
    }
    m_cwd = path;
    reply("250 Directory changed\r\n");
}

void ScriptedFtpSession::makeDirectory(const QByteArray &argument)
{
    const QString path = resolve(argument);
    const QString parent = path.left(path.lastIndexOf(QLatin1Char('/')));
    if (m_script.hasDirectory(path) || !m_script.hasDirectory(parent.isEmpty() ? "/" : parent)) {
        reply("550 Cannot create directory\r\n");
        return;
    }
    m_script.addDirectory(path);
    reply("257 \"" + path.toUtf8() + "\" created\r\n");
}

void ScriptedFtpSession::answerSize(const QByteArray &argument)
{
    const QMap<QString, QByteArray> files = m_script.files();
    const auto file = files.constFind(resolve(argument));
    if (file == files.cend())
        reply("550 No such file\r\n");
    else
        reply("213 " + QByteArray::number(file->size()) + "\r\n");
}

void ScriptedFtpSession::answerHash(const QByteArray &argument)
{
    const QMap<QString, QByteArray> files = m_script.files();
    const auto file = files.constFind(resolve(argument));
    if (file == files.cend()) {
        reply("550 No such file\r\n");
        return;
    }
    const QByteArray hex = QCryptographicHash::hash(*file, QCryptographicHash::Sha256).toHex();
    if (m_script.digests() == ScriptedFtpScript::Digests::BareHex)
        reply("213 " + hex + "\r\n");
    else
        reply("213 SHA-256 0-" + QByteArray::number(file->size()) + ' ' + hex + ' ' + argument +
              "\r\n");
}

void ScriptedFtpSession::answerRenameFrom(const QByteArray &argument)
{
    m_renameFrom.clear();
    if (m_script.renamesRefused()) {
        reply("550 Permission denied\r\n");
        return;
    }
    if (!m_script.files().contains(resolve(argument))) {
        reply("550 No such file\r\n");
        return;
    }
    m_renameFrom = resolve(argument);
    reply("350 Ready for RNTO\r\n");
}

void ScriptedFtpSession::answerRenameTo(const QByteArray &argument)
{
    const QString from = std::exchange(m_renameFrom, QString());
    const QString to = resolve(argument);
    if (from.isEmpty())
        reply("503 Bad sequence of commands\r\n");
    else if (m_script.renameOverFileRefused() && m_script.files().contains(to))
        reply("553 File exists\r\n");
    else {
        m_script.renameFile(from, to);
        reply("250 Renamed\r\n");
    }
}

void ScriptedFtpSession::answerDelete(const QByteArray &argument)
{
    if (!m_script.files().contains(resolve(argument))) {
        reply("550 No such file\r\n");
        return;
    }
    m_script.removeFile(resolve(argument));
    reply("250 Deleted\r\n");
}

void ScriptedFtpSession::openPassive(bool extended)
{
    closeData();
    m_passive = new TlsReadyServer(this);
    if (!m_passive->listen(m_address, 0)) {
        reply("425 Cannot open passive connection\r\n");
        return;
    }
    connect(m_passive, &QTcpServer::newConnection, this, &ScriptedFtpSession::acceptDataConnection);
    const quint16 port = m_passive->serverPort();
    if (extended) {
        reply("229 Entering Extended Passive Mode (|||" + QByteArray::number(port) + "|)\r\n");
        return;
    }
    const QByteArray shown = m_script.pasvHost();
    reply("227 Entering Passive Mode (" + (shown.isEmpty() ? commaHost(m_address) : shown) + ',' +
          QByteArray::number(port >> 8) + ',' + QByteArray::number(port & 0xff) + ")\r\n");
}

void ScriptedFtpSession::acceptDataConnection()
{
    QTcpSocket *socket = m_passive->nextPendingConnection();
    if (!socket || m_data) {
        delete socket;
        return;
    }
    m_data = socket;
    m_data->setParent(this);
    m_script.recordDataPeer(m_data->peerAddress());
    if (m_protectData)
        startTls(m_data);
    if (m_script.transfer() == ScriptedFtpScript::Transfer::ResetAfter)
        m_dataCopy = ::dup(static_cast<int>(m_data->socketDescriptor()));
    if (m_script.transfer() == ScriptedFtpScript::Transfer::Stall)
        m_data->setReadBufferSize(StalledReadBuffer);
    connect(m_data, &QTcpSocket::readyRead, this, &ScriptedFtpSession::readData);
    connect(m_data, &QTcpSocket::disconnected, this, [this] {
        m_dataEnded = true;
        readData();
    });
    m_passive->close();
    if (m_listingDue)
        sendListing();
    else
        readData();
}

void ScriptedFtpSession::startListing()
{
    if (!m_data && !m_passive) {
        reply("425 Use EPSV or PASV first\r\n");
        return;
    }
    reply("150 Here comes the directory listing\r\n");
    m_listingDue = true;
    if (m_data)
        sendListing();
}

// The listing, then the end of the data connection, then the transfer's final reply.
void ScriptedFtpSession::sendListing()
{
    m_listingDue = false;
    QTcpSocket *data = m_data;
    m_data = nullptr;
    data->disconnect(this);
    connect(data, &QTcpSocket::disconnected, data, &QObject::deleteLater);
    data->write(m_script.listing().value_or(QByteArray()));
    data->disconnectFromHost();
    reply("226 Directory send OK\r\n");
    answerPending();
}

// Later commands wait their turn meanwhile, as behind a reply being written.
void ScriptedFtpSession::takeStoreLate(const QByteArray &argument)
{
    m_writing = true;
    QTimer::singleShot(LateStoreMs, this, [this, argument] {
        m_writing = false;
        startStore(argument);
        answerPending();
    });
}

void ScriptedFtpSession::startStore(const QByteArray &argument)
{
    auto scripted = m_script.takeReply("STOR");
    if (scripted && scripted->usual)
        scripted.reset();
    if (scripted && !scripted->endsPreliminary()) {
        reply(*scripted);
        closeData();
        return;
    }
    if (m_earlyDataDropped) {
        m_earlyDataDropped = false;
        reply("150 File status okay; about to open data connection\r\n");
        return;
    }
    if (!m_data && !m_passive) {
        reply("425 Use EPSV or PASV first\r\n");
        return;
    }
    if (m_script.hiddenNamesRefused() && argument.startsWith('.')) {
        reply("553 Could not create file\r\n");
        closeData();
        return;
    }
    m_storePath = resolve(argument);
    reply(scripted.value_or(ScriptedReply::text("150 Opening BINARY data connection\r\n")));
    readData();
}

bool ScriptedFtpSession::dropEarlyData()
{
    const ScriptedFtpScript::EarlyData early = m_script.earlyData();
    if (early == ScriptedFtpScript::EarlyData::Taken || !m_data || !m_storePath.isEmpty() ||
        (!m_earlyDataDropped && m_data->bytesAvailable() == 0 && !m_dataEnded))
        return false;
    if (!m_earlyDataDropped) {
        m_script.recordEarlyDataDrop();
        m_earlyDataDropped = true;
    }
    if (early == ScriptedFtpScript::EarlyData::Reset) {
        m_data->disconnect(this); // resetting it signals its end, which is no transfer's end
        resetConnection(m_data);
        closeData();
        return true;
    }
    m_data->readAll();
    if (m_dataEnded)
        closeData(); // everything read: the close is a clean one
    return true;
}

void ScriptedFtpSession::readData()
{
    if (dropEarlyData())
        return;
    const ScriptedFtpScript::Transfer transfer = m_script.transfer();
    // The transfer's end waits until its preliminary reply is completely out.
    if (!m_data || m_storePath.isEmpty() || m_writing ||
        transfer == ScriptedFtpScript::Transfer::Stall)
        return;
    m_received.append(m_data->readAll());
    if ((transfer == ScriptedFtpScript::Transfer::ResetAfter && m_dataEnded) ||
        (transfer == ScriptedFtpScript::Transfer::EndAfter &&
         m_received.size() >= m_script.dropAfterBytes())) {
        cutShort(transfer);
        return;
    }
    if (transfer == ScriptedFtpScript::Transfer::DropAfter &&
        m_received.size() >= m_script.dropAfterBytes()) {
        closeData();
        m_storePath.clear();
        reply("426 Connection closed; transfer aborted\r\n");
        answerPending();
        return;
    }
    if (m_dataEnded)
        finishStore();
}

void ScriptedFtpSession::finishStore()
{
    if (m_script.transfer() == ScriptedFtpScript::Transfer::KeepPart)
        m_received.truncate(m_script.dropAfterBytes());
    if (m_script.transfer() == ScriptedFtpScript::Transfer::ChangeLast && !m_received.isEmpty())
        m_received.back() = static_cast<char>(m_received.back() ^ 0x20);
    m_script.storeFile(m_storePath, m_received);
    m_storePath.clear();
    closeData();
    reply(m_script.transferReply());
    answerPending();
}

void ScriptedFtpSession::closeData()
{
    if (m_data) {
        m_data->disconnect(this);
        m_data->abort();
        m_data->deleteLater();
        m_data = nullptr;
    }
    if (m_passive) {
        m_passive->close();
        m_passive->deleteLater();
        m_passive = nullptr;
    }
    if (m_dataCopy >= 0) {
        ::close(m_dataCopy);
        m_dataCopy = -1;
    }
    m_received.clear();
    m_dataEnded = false;
}

void ScriptedFtpSession::startTls(QTcpSocket *socket)
{
    auto *tls = qobject_cast<QSslSocket *>(socket);
    socket->flush();
    tls->setSslConfiguration(m_script.tlsConfiguration());
    tls->startServerEncryption();
}

// The close alert goes out, yet the connection stays open for whatever follows it.
void ScriptedFtpSession::endTlsInPlace(const QByteArray &inClear)
{
    m_heldOpen = ::dup(static_cast<int>(m_control->socketDescriptor()));
    m_control->disconnectFromHost();
    m_control->waitForDisconnected(PiecePauseMs * 10);
    ::send(m_heldOpen, inClear.constData(), static_cast<size_t>(inClear.size()), MSG_NOSIGNAL);
}

// Keeps the part that came, as a careless server would, and reports the whole as stored.
void ScriptedFtpSession::cutShort(ScriptedFtpScript::Transfer transfer)
{
    m_script.storeFile(m_storePath, m_received.left(m_script.dropAfterBytes()));
    m_storePath.clear();
    if (transfer == ScriptedFtpScript::Transfer::ResetAfter) {
        const linger abortive{1, 0};
        ::setsockopt(m_dataCopy, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
        ::close(m_dataCopy);
        m_dataCopy = -1;
        closeData();
    } else {
        m_data->disconnect(this);
        ::shutdown(static_cast<int>(m_data->socketDescriptor()), SHUT_WR);
    }
    reply(m_script.transferReply());
    answerPending();
}

QString ScriptedFtpSession::resolve(const QByteArray &argument) const
{
    const QString name = QString::fromUtf8(argument);
    return QDir::cleanPath(name.startsWith(QLatin1Char('/')) ? name
                                                             : m_cwd + QLatin1Char('/') + name);
}
