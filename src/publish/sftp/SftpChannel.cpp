#include "publish/sftp/SftpChannel.h"

#include <libssh/libssh.h>

namespace Kakiva {

namespace {

constexpr quint32 ClientVersion = 3;
constexpr quint32 VersionId = 0; // the opening pair carries no request id
constexpr int ReadChunk = 64 * 1024;

} // namespace

SftpChannel::SftpChannel(ssh_session session, ssh_channel channel, SshWait &wait)
    : m_session(session), m_channel(channel), m_wait(wait)
{
}

bool SftpChannel::start()
{
    return requestSubsystem() && readVersion();
}

bool SftpChannel::requestSubsystem()
{
    m_wait.restart();
    const QByteArray opening = SftpPacket::frame(SftpPacket::Init, ClientVersion, {});
    int rc = ssh_channel_request_subsystem(m_channel, "sftp");
    // A server takes a channel's messages in order, so the opening message may go right
    // behind the request, as far as the channel's window already allows (OpenSSH opens it
    // only once the subsystem runs).
    int early = 0;
    if (rc == SSH_AGAIN) {
        early = ssh_channel_write(m_channel, opening.constData(), uint32_t(opening.size()));
        if (early < 0)
            return fail(Failure::Closed);
    }
    while (rc == SSH_AGAIN) {
        if (!failOn(m_wait.forSession(m_session)))
            return false;
        rc = ssh_channel_request_subsystem(m_channel, "sftp");
    }
    if (rc != SSH_OK)
        return fail(ssh_is_connected(m_session) ? Failure::Refused : Failure::Closed);
    if (!writeAll(opening.mid(early)))
        return false;
    m_outstanding.insert(VersionId);
    m_sentSinceWait = true;
    return true;
}

bool SftpChannel::readVersion()
{
    const auto version = answer(VersionId);
    if (!version)
        return false;
    if (version->type != SftpPacket::Version)
        return fail(Failure::BadReply);
    m_version = version->id;
    SftpPacket::Reader reader(version->body);
    while (!reader.atEnd()) {
        const auto name = reader.string();
        const auto value = reader.string();
        if (!name || !value)
            return fail(Failure::BadReply);
        m_extensions.insert(*name, *value);
    }
    return true;
}

bool SftpChannel::hasExtension(const QByteArray &name, const QByteArray &value) const
{
    return m_extensions.value(name) == value;
}

std::optional<quint32> SftpChannel::send(SftpPacket::Type type, const QByteArray &body)
{
    if (m_failure != Failure::None)
        return std::nullopt;
    const quint32 id = m_nextId++;
    if (!writeAll(SftpPacket::frame(type, id, body)))
        return std::nullopt;
    m_outstanding.insert(id);
    ++m_stats.commandsSent;
    m_sentSinceWait = true;
    return id;
}

std::optional<SftpPacket::Message> SftpChannel::answer(quint32 id)
{
    if (!m_outstanding.contains(id) && !m_answers.contains(id))
        return std::nullopt;
    m_wait.restart();
    while (!m_answers.contains(id)) {
        if (m_failure != Failure::None)
            return std::nullopt;
        if (m_sentSinceWait) {
            ++m_stats.roundTrips;
            m_sentSinceWait = false;
        }
        if (!readSome())
            return std::nullopt;
    }
    return m_answers.take(id);
}

bool SftpChannel::writeAll(const QByteArray &bytes)
{
    qsizetype written = 0;
    while (written < bytes.size()) {
        const int rc = ssh_channel_write(m_channel, bytes.constData() + written,
                                         static_cast<uint32_t>(bytes.size() - written));
        if (rc < 0)
            return fail(Failure::Closed);
        if (rc > 0) {
            written += rc;
            m_wait.restart();
            continue;
        }
        // The server's window is full: let the library take in its adjustments.
        if (!ssh_channel_is_open(m_channel))
            return fail(Failure::Closed);
        if (!failOn(m_wait.forSession(m_session)))
            return false;
    }
    return true;
}

// Takes in what the channel holds, or waits one slice for it.
bool SftpChannel::readSome()
{
    char buffer[ReadChunk];
    const int rc = ssh_channel_read_nonblocking(m_channel, buffer, sizeof buffer, 0);
    if (rc < 0)
        return fail(Failure::Closed);
    if (rc == 0) {
        if (ssh_channel_is_eof(m_channel) || !ssh_channel_is_open(m_channel))
            return fail(Failure::Closed);
        return failOn(m_wait.forSession(m_session));
    }
    // Data alone is no progress: only the awaited answer ends the wait.
    m_incoming.append(buffer, rc);
    bool broken = false;
    while (auto message = SftpPacket::takeMessage(m_incoming, &broken)) {
        // The version answer carries the version where others carry the request id.
        const quint32 id = message->type == SftpPacket::Version ? VersionId : message->id;
        if (!m_outstanding.remove(id))
            return fail(Failure::BadReply);
        m_answers.insert(id, *message);
    }
    return broken ? fail(Failure::BadReply) : true;
}

bool SftpChannel::fail(Failure failure)
{
    if (m_failure == Failure::None)
        m_failure = failure;
    return false;
}

bool SftpChannel::failOn(SshWait::Outcome outcome)
{
    switch (outcome) {
    case SshWait::Outcome::Go:
        return true;
    case SshWait::Outcome::TimedOut:
        return fail(Failure::TimedOut);
    case SshWait::Outcome::Cancelled:
        return fail(Failure::Cancelled);
    }
    return fail(Failure::Closed);
}

} // namespace Kakiva
