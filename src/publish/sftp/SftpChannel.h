#pragma once

#include "publish/client/WireStats.h"
#include "publish/sftp/SftpPacket.h"
#include "publish/sftp/SshWait.h"

#include <QByteArray>
#include <QHash>
#include <QSet>

#include <optional>

struct ssh_session_struct;
struct ssh_channel_struct;

namespace Kakiva {

// SFTP requests on an open SSH session channel. The requests are
// framed here rather than through the SSH library's file calls so that several can be on
// the wire at once (the writes of a file, its close) and every wait honours the time-out
// and the cancel flag.
class SftpChannel
{
public:
    enum class Failure
    {
        None,
        Closed,
        TimedOut,
        Cancelled,
        BadReply,
        Refused // the server would not start the subsystem
    };

    SftpChannel(ssh_session_struct *session, ssh_channel_struct *channel, SshWait &wait);

    // Asks for the "sftp" subsystem on the open channel, with the opening message right
    // behind the request rather than after its answer, and reads the server's version and
    // extensions.
    bool start();
    quint32 version() const { return m_version; }
    bool hasExtension(const QByteArray &name, const QByteArray &value) const;

    // Writes a request (type, a fresh id, body) and returns its id; nothing once the
    // channel has failed.
    std::optional<quint32> send(SftpPacket::Type type, const QByteArray &body);
    // The answer to request id, waiting for it as long as the wait allows: the time-out
    // bounds this wait whatever else the server sends meanwhile. An answer to an id that is
    // not outstanding (never sent, answered already) breaks the protocol and fails the
    // channel, so what is kept never outgrows the requests on the wire.
    std::optional<SftpPacket::Message> answer(quint32 id);

    Failure failure() const { return m_failure; }
    const WireStats &wireStats() const { return m_stats; }

private:
    bool writeAll(const QByteArray &bytes);
    bool readSome();
    bool fail(Failure failure);
    bool failOn(SshWait::Outcome outcome);
    bool requestSubsystem();
    bool readVersion();

    ssh_session_struct *m_session;
    ssh_channel_struct *m_channel;
    SshWait &m_wait;
    QByteArray m_incoming;
    QHash<quint32, SftpPacket::Message> m_answers;
    QSet<quint32> m_outstanding;
    QHash<QByteArray, QByteArray> m_extensions;
    quint32 m_nextId = 1;
    quint32 m_version = 0;
    bool m_sentSinceWait = false;
    Failure m_failure = Failure::None;
    WireStats m_stats;
};

} // namespace Kakiva
