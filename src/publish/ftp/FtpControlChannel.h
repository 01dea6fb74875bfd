#pragma once

#include "publish/client/ServerAddress.h"
#include "publish/client/WireStats.h"
#include "publish/ftp/FtpReplyParser.h"
#include "publish/ftp/FtpSocketWait.h"

#include <QAbstractSocket>
#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QtNetwork/qssl.h>

#include <functional>
#include <memory>

class QSslSocket;

namespace Kakiva {

class SessionLog;

// The control connection: command lines out, replies in, each one logged and counted.
// Whenever the conversation can no longer be trusted (a time-out, a cancel, bytes that are
// no reply, a 421) the connection is dropped, so a late reply can never be taken for the
// answer to a later command.
class FtpControlChannel
{
public:
    FtpControlChannel(SessionLog &log, WireStats &stats, const FtpWaitSettings &waits);
    ~FtpControlChannel();
    FtpControlChannel(const FtpControlChannel &) = delete;
    FtpControlChannel &operator=(const FtpControlChannel &) = delete;

    FtpStatus open(const ServerAddress &address);
    bool isOpen() const;

    // Turns the open connection into a TLS one whose certificate should name peerName. Errors
    // in the certificate do not end the handshake: they are judged afterwards, from
    // tls()->sslHandshakeErrors(), before anything else is sent. Any byte that came before the
    // handshake ends the connection (BadReply): it came in clear, so anyone on the path could
    // have put it there.
    FtpStatus startTls(const QString &peerName);
    // The alerts sent or received during the last handshake, which tell why one failed.
    const QList<QSsl::AlertType> &handshakeAlerts() const { return m_handshakeAlerts; }
    // The encrypted connection, or null while there is none.
    const QSslSocket *tls() const;
    QHostAddress peerAddress() const;
    QAbstractSocket::SocketError lastError() const { return m_lastError; }

    // Sends one command line (without its line end). Replies that came unasked since the
    // last command are read and logged first; a 421 among them ends the session unsent.
    FtpStatus send(const QByteArray &line);
    // Sends the lines at once, without waiting for any answer between them; each is answered
    // by a readFinalReply, in order.
    FtpStatus sendTogether(const QList<QByteArray> &lines);

    // Waits for the next reply. A 421 is returned as a reply, and the channel is closed.
    // interrupted, when given, is asked between slices of the wait.
    FtpStatus readReply(FtpReply *reply, const std::function<bool()> &interrupted = {});

    // Reads replies until one that is not preliminary.
    FtpStatus readFinalReply(FtpReply *reply, const std::function<bool()> &interrupted = {});

    // The bytes just sent on a data connection are answered here: the next wait for a reply
    // is a round trip of its own even though no command went out before it.
    void expectAnswer() { m_answerOwed = true; }

    // Takes a reply only if it has already arrived; *received tells whether one did.
    FtpStatus pollReply(FtpReply *reply, bool *received);

    // Says goodbye without waiting for the answer, which nothing would look at.
    void quit();

    // Ends the connection at once, with nothing more sent.
    void drop();

private:
    FtpStatus write(const QList<QByteArray> &lines);
    FtpStatus takeReply(FtpReply *reply, bool *received);
    FtpStatus accept(const FtpReply &reply);
    FtpStatus lost(const QString &while_);
    FtpStatus giveUp(FtpStatus wait, const QString &while_);
    FtpStatus drainUnasked();
    void watchAlerts();
    bool endedByCloseAlert();

    SessionLog &m_log;
    WireStats &m_stats;
    const FtpWaitSettings &m_waits;
    std::unique_ptr<QSslSocket> m_socket;
    FtpReplyParser m_parser;
    QAbstractSocket::SocketError m_lastError = QAbstractSocket::UnknownSocketError;
    bool m_answerOwed = false; // something was sent that the server has not answered yet
    int m_repliesDue = 0;      // final replies the server still owes (greeting, commands)
    QList<QSsl::AlertType> m_handshakeAlerts;
    // The server ended TLS: nothing after its close alert is read, and nothing more is waited for.
    bool m_closeAlerted = false;
};

} // namespace Kakiva
