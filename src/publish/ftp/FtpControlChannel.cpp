#include "publish/ftp/FtpControlChannel.h"

#include "publish/client/SessionLog.h"
#include "publish/ftp/FtpTls.h"

#include <QSslSocket>

namespace Kakiva {

namespace {

constexpr int MaxPreliminaryReplies = 8;
constexpr int MaxUnaskedReplies = 8;
constexpr qint64 ReadChunk = 4096;

QString loggable(const QByteArray &line)
{
    if (line.size() >= 4 && line.left(4).compare("PASS", Qt::CaseInsensitive) == 0 &&
        (line.size() == 4 || line.at(4) == ' '))
        return QStringLiteral("PASS ****");
    return QString::fromUtf8(line);
}

QString replyText(const FtpReply &reply)
{
    QStringList lines;
    for (const QByteArray &line : reply.lines)
        lines.append(QString::fromUtf8(line));
    return lines.join(QStringLiteral(" | "));
}

QString parserFailure(FtpReplyParser::Status status)
{
    switch (status) {
    case FtpReplyParser::Status::LineTooLong:
        return QStringLiteral("reply line longer than %1 bytes").arg(FtpReplyParser::MaxLineLength);
    case FtpReplyParser::Status::TooManyLines:
        return QStringLiteral("reply of more than %1 lines").arg(FtpReplyParser::MaxLines);
    default:
        return QStringLiteral("received text that is not an FTP reply");
    }
}

} // namespace

FtpControlChannel::FtpControlChannel(SessionLog &log, WireStats &stats,
                                     const FtpWaitSettings &waits)
    : m_log(log), m_stats(stats), m_waits(waits)
{
}

FtpControlChannel::~FtpControlChannel()
{
    drop();
}

FtpStatus FtpControlChannel::open(const ServerAddress &address)
{
    drop();
    m_socket = std::make_unique<QSslSocket>();
    watchAlerts();
    m_log.note(QStringLiteral("connecting to %1 port %2").arg(address.host).arg(address.port));
    const FtpStatus wait = connectSocket(*m_socket, address.host, address.port, m_waits.fromNow());
    if (wait != FtpStatus::Ok)
        return giveUp(wait, QStringLiteral("connecting"));
    m_log.note(QStringLiteral("connected to %1").arg(peerAddress().toString()));
    m_answerOwed = true; // the greeting
    m_repliesDue = 1;
    return FtpStatus::Ok;
}

FtpStatus FtpControlChannel::startTls(const QString &peerName)
{
    if (!isOpen())
        return FtpStatus::NotConnected;
    if (m_parser.hasBufferedBytes() || m_socket->bytesAvailable() > 0) {
        m_log.note(
            QStringLiteral("bytes came in clear before the TLS handshake; nothing more sent"));
        drop();
        return FtpStatus::BadReply;
    }
    m_handshakeAlerts.clear();
    m_socket->setSslConfiguration(ftpTlsConfiguration());
    m_socket->setPeerVerifyName(peerName);
    m_socket->ignoreSslErrors();
    m_socket->startClientEncryption();
    const FtpStatus wait = waitForEncrypted(*m_socket, m_waits.fromNow());
    if (wait != FtpStatus::Ok)
        return giveUp(wait, QStringLiteral("setting up TLS"));
    m_log.note(QStringLiteral("TLS: %1").arg(describeTls(*m_socket)));
    return FtpStatus::Ok;
}

const QSslSocket *FtpControlChannel::tls() const
{
    return m_socket && m_socket->isEncrypted() ? m_socket.get() : nullptr;
}

bool FtpControlChannel::isOpen() const
{
    return m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
}

QHostAddress FtpControlChannel::peerAddress() const
{
    return m_socket ? m_socket->peerAddress() : QHostAddress();
}

FtpStatus FtpControlChannel::send(const QByteArray &line)
{
    if (!isOpen())
        return FtpStatus::NotConnected;
    // Replies are set aside as unasked only when every command has had its answer: one
    // still on its way (after an interrupted wait, say) answers an earlier command.
    if (m_repliesDue == 0) {
        if (const FtpStatus unasked = drainUnasked(); unasked != FtpStatus::Ok)
            return unasked;
    }
    return write({line});
}

FtpStatus FtpControlChannel::sendTogether(const QList<QByteArray> &lines)
{
    if (!isOpen())
        return FtpStatus::NotConnected;
    if (m_repliesDue == 0) {
        if (const FtpStatus unasked = drainUnasked(); unasked != FtpStatus::Ok)
            return unasked;
    }
    return write(lines);
}

// One write for all the lines, so they leave in one segment rather than each small one
// waiting for the acknowledgement of the one before.
FtpStatus FtpControlChannel::write(const QList<QByteArray> &lines)
{
    QByteArray bytes;
    for (const QByteArray &line : lines) {
        m_log.sent(loggable(line));
        bytes += line + "\r\n";
        ++m_stats.commandsSent;
        ++m_repliesDue;
    }
    m_socket->write(bytes);
    m_answerOwed = true;
    const FtpStatus wait = waitForWritten(*m_socket, m_waits.fromNow());
    return wait == FtpStatus::Ok ? FtpStatus::Ok : giveUp(wait, QStringLiteral("sending"));
}

FtpStatus FtpControlChannel::readReply(FtpReply *reply, const std::function<bool()> &interrupted)
{
    // One deadline for the whole reply: a server dribbling bytes must not stretch it.
    FtpWaitLimits limits = m_waits.fromNow();
    limits.interrupted = [&] { return m_closeAlerted || (interrupted && interrupted()); };
    for (;;) {
        if (!m_socket)
            return FtpStatus::NotConnected;
        bool received = false;
        const FtpStatus status = takeReply(reply, &received);
        if (status != FtpStatus::Ok || received)
            return status;
        if (endedByCloseAlert())
            return FtpStatus::Closed;
        if (m_socket->state() != QAbstractSocket::ConnectedState)
            return lost(QStringLiteral("waiting for a reply"));
        if (m_answerOwed) {
            ++m_stats.roundTrips;
            m_answerOwed = false;
        }
        const FtpStatus wait = waitForReadable(*m_socket, limits);
        if (m_closeAlerted)
            continue; // what came before the alert is still read
        if (wait == FtpStatus::TimedOut || wait == FtpStatus::Cancelled ||
            wait == FtpStatus::Interrupted)
            return giveUp(wait, QStringLiteral("waiting for a reply"));
        // Done or Failed: the next round takes what arrived, then sees a lost connection.
    }
}

FtpStatus FtpControlChannel::readFinalReply(FtpReply *reply,
                                            const std::function<bool()> &interrupted)
{
    for (int preliminary = 0; preliminary <= MaxPreliminaryReplies; ++preliminary) {
        const FtpStatus status = readReply(reply, interrupted);
        if (status != FtpStatus::Ok || !reply->isPreliminary())
            return status;
    }
    m_log.note(QStringLiteral("too many preliminary replies"));
    drop();
    return FtpStatus::BadReply;
}

FtpStatus FtpControlChannel::pollReply(FtpReply *reply, bool *received)
{
    *received = false;
    if (!m_socket)
        return FtpStatus::NotConnected;
    if (m_socket->state() == QAbstractSocket::ConnectedState && m_socket->bytesAvailable() == 0)
        m_socket->waitForReadyRead(0);
    const FtpStatus status = takeReply(reply, received);
    if (status != FtpStatus::Ok || *received)
        return status;
    if (endedByCloseAlert())
        return FtpStatus::Closed;
    return m_socket->state() == QAbstractSocket::ConnectedState
               ? FtpStatus::Ok
               : lost(QStringLiteral("between replies"));
}

void FtpControlChannel::quit()
{
    if (isOpen() && send(QByteArrayLiteral("QUIT")) == FtpStatus::Ok)
        m_socket->disconnectFromHost();
    drop();
}

void FtpControlChannel::drop()
{
    if (!m_socket)
        return;
    m_socket->abort();
    m_socket.reset();
    m_parser.clear();
    m_answerOwed = false;
    m_repliesDue = 0;
    m_closeAlerted = false;
}

// Parses what is buffered, reading more only as far as the socket already holds it.
FtpStatus FtpControlChannel::takeReply(FtpReply *reply, bool *received)
{
    *received = false;
    for (;;) {
        const FtpReplyParser::Status status = m_parser.next(reply);
        if (status == FtpReplyParser::Status::Complete) {
            *received = true;
            return accept(*reply);
        }
        if (status != FtpReplyParser::Status::NeedMore) {
            m_log.note(parserFailure(status));
            drop();
            return FtpStatus::BadReply;
        }
        if (m_socket->bytesAvailable() <= 0)
            return FtpStatus::Ok;
        m_parser.append(m_socket->read(ReadChunk));
    }
}

FtpStatus FtpControlChannel::accept(const FtpReply &reply)
{
    m_log.received(replyText(reply));
    if (!reply.isPreliminary() && m_repliesDue > 0)
        --m_repliesDue;
    if (reply.isServiceClosing()) {
        m_log.note(QStringLiteral("the server is closing the session"));
        drop();
    }
    return FtpStatus::Ok;
}

FtpStatus FtpControlChannel::lost(const QString &while_)
{
    m_lastError = m_socket ? m_socket->error() : QAbstractSocket::UnknownSocketError;
    m_log.note(QStringLiteral("connection failed while %1: %2")
                   .arg(while_, m_socket ? m_socket->errorString() : QStringLiteral("closed")));
    drop();
    return m_lastError == QAbstractSocket::RemoteHostClosedError ? FtpStatus::Closed
                                                                 : FtpStatus::Failed;
}

FtpStatus FtpControlChannel::giveUp(FtpStatus wait, const QString &while_)
{
    switch (wait) {
    case FtpStatus::TimedOut:
        m_log.note(QStringLiteral("time-out while %1").arg(while_));
        drop();
        return FtpStatus::TimedOut;
    case FtpStatus::Cancelled:
        m_log.note(QStringLiteral("cancelled while %1").arg(while_));
        drop();
        return FtpStatus::Cancelled;
    case FtpStatus::Interrupted:
        return FtpStatus::Interrupted; // the caller decides; the conversation is still in step
    default:
        return lost(while_);
    }
}

void FtpControlChannel::watchAlerts()
{
    const auto seen = [this](const char *direction) {
        return [this, direction](QSsl::AlertLevel, QSsl::AlertType type, const QString &what) {
            if (!m_socket->isEncrypted())
                m_handshakeAlerts.append(type);
            if (type == QSsl::AlertType::CloseNotify && *direction == 'r')
                m_closeAlerted = true;
            else
                m_log.note(QStringLiteral("TLS alert %1: %2").arg(QLatin1String(direction), what));
        };
    };
    QObject::connect(m_socket.get(), &QSslSocket::alertReceived, m_socket.get(), seen("received"));
    QObject::connect(m_socket.get(), &QSslSocket::alertSent, m_socket.get(), seen("sent"));
}

// After the server's close alert nothing it sends is its own, and no reply will come.
bool FtpControlChannel::endedByCloseAlert()
{
    if (!m_closeAlerted)
        return false;
    m_log.note(QStringLiteral("the server ended TLS on the control connection"));
    m_lastError = QAbstractSocket::RemoteHostClosedError;
    drop();
    return true;
}

// A reply that arrives between commands answers none of them: a 421 ends the session, any
// other is logged and set aside so it cannot be read as the answer to the next command.
FtpStatus FtpControlChannel::drainUnasked()
{
    for (int count = 0; count < MaxUnaskedReplies; ++count) {
        FtpReply reply;
        bool received = false;
        const FtpStatus status = pollReply(&reply, &received);
        if (status != FtpStatus::Ok || !received)
            return status;
        if (!isOpen())
            return FtpStatus::Closed;
        m_log.note(QStringLiteral("ignored a reply that answers no command"));
    }
    drop();
    return FtpStatus::BadReply;
}

} // namespace Kakiva
