#include "publish/sftp/SftpUpload.h"

#include "publish/client/SessionLog.h"
#include "publish/sftp/SftpChannel.h"
#include "publish/sftp/SftpRemotePath.h"
#include "publish/sftp/SftpResult.h"

#include <QIODevice>
#include <QQueue>

namespace Kakiva {

namespace {

using namespace SftpPacket;

// 32 KiB writes, as OpenSSH's own client sends, up to 2 MiB of them on the wire at once.
constexpr qint64 WriteSize = 32 * 1024;
constexpr qsizetype WritesInFlight = 64;
constexpr quint32 PagePermissions = 0644;
const QByteArray PosixRename = QByteArrayLiteral("posix-rename@openssh.com");

QByteArray remote(const QString &path)
{
    return path.toUtf8();
}

struct Verdict
{
    bool ok = false;
    QString text;
};

// The status an answer carries; a HANDLE, ATTRS or other answer reads as not ok.
Verdict statusOf(const Message &answer)
{
    if (answer.type != Status)
        return {false, QStringLiteral("answer type %1").arg(answer.type)};
    Reader reader(answer.body);
    const auto code = reader.u32();
    const auto message = reader.string();
    return {code && *code == StatusOk, QStringLiteral("STATUS %1 %2")
                                           .arg(code.value_or(~0u))
                                           .arg(QString::fromUtf8(message.value_or(QByteArray())))};
}

class Upload
{
public:
    Upload(SftpChannel &channel, SessionLog &log, const QString &directory, const QString &name)
        : m_channel(channel), m_log(log),
          m_temporary(sftpRemotePath(directory, sftpTemporaryName(name))),
          m_final(sftpRemotePath(directory, name))
    {
    }

    qint16 run(QIODevice &local)
    {
        if (!open()) {
            // A handle came, so the file exists, even if its handle could not be read.
            if (m_created && m_channel.failure() == SftpChannel::Failure::None)
                removeTemporary();
            return outcome();
        }
        const bool written = writeAll(local);
        if (m_channel.failure() != SftpChannel::Failure::None)
            return outcome();
        if (!written || !rename()) {
            removeTemporary();
            return outcome();
        }
        return SftpResult::Stored;
    }

private:
    bool open()
    {
        m_log.sent(QStringLiteral("OPEN ") + m_temporary);
        Writer body;
        body.string(remote(m_temporary))
            .u32(OpenWrite | OpenCreate | OpenTruncate)
            .u32(AttrPermissions)
            .u32(PagePermissions);
        const auto answer = ask(Open, body.bytes());
        if (!answer)
            return false;
        if (answer->type != Handle)
            return refused(statusOf(*answer));
        m_created = true;
        const auto handle = Reader(answer->body).string();
        if (!handle)
            return refused({false, QStringLiteral("HANDLE unreadable")});
        m_handle = *handle;
        m_log.received(QStringLiteral("HANDLE"));
        return true;
    }

    // Every write goes out without waiting for the one before; the close follows the last
    // one at once, so a page costs one wait for all its data.
    bool writeAll(QIODevice &local)
    {
        QQueue<quint32> pending;
        bool allOk = true;
        quint64 offset = 0;
        bool readFailed = false;
        for (;;) {
            const QByteArray chunk = local.read(WriteSize);
            if (chunk.isEmpty()) {
                readFailed = !local.atEnd();
                break;
            }
            Writer body;
            body.string(m_handle).u64(offset).string(chunk);
            const auto id = m_channel.send(Write, body.bytes());
            if (!id)
                return false;
            pending.enqueue(*id);
            offset += quint64(chunk.size());
            if (pending.size() >= WritesInFlight) {
                allOk = settle(pending.dequeue());
                if (!allOk)
                    break;
            }
        }
        m_log.sent(QStringLiteral("WRITE %1 bytes, CLOSE").arg(offset));
        const auto close = m_channel.send(Close, Writer().string(m_handle).bytes());
        if (!close)
            return false;
        while (!pending.isEmpty())
            allOk = settle(pending.dequeue()) && allOk;
        allOk = settle(*close) && allOk;
        if (readFailed) {
            m_log.note(QStringLiteral("the local file could not be read"));
            m_result = SftpResult::LocalFileUnreadable;
            return false;
        }
        if (allOk)
            m_log.received(QStringLiteral("STATUS 0 written"));
        return allOk;
    }

    bool settle(quint32 id)
    {
        const auto answer = m_channel.answer(id);
        if (!answer)
            return false;
        const Verdict status = statusOf(*answer);
        return status.ok || refused(status);
    }

    // The posix-rename extension replaces the old file in one step; without it the old one
    // must go first, and a reader may miss the page for that moment.
    bool rename()
    {
        m_log.sent(QStringLiteral("RENAME %1 %2").arg(m_temporary, m_final));
        const QByteArray paths =
            Writer().string(remote(m_temporary)).string(remote(m_final)).bytes();
        std::optional<Message> answer;
        if (m_channel.hasExtension(PosixRename, "1")) {
            answer = ask(Extended, Writer().string(PosixRename).bytes() + paths);
        } else {
            const auto removed = m_channel.send(Remove, Writer().string(remote(m_final)).bytes());
            const auto renamed = m_channel.send(Rename, paths);
            if (removed && renamed && m_channel.answer(*removed))
                answer = m_channel.answer(*renamed);
        }
        if (!answer)
            return false;
        const Verdict status = statusOf(*answer);
        m_log.received(status.text);
        return status.ok || refused(status);
    }

    void removeTemporary()
    {
        m_log.sent(QStringLiteral("REMOVE ") + m_temporary);
        if (const auto answer = ask(Remove, Writer().string(remote(m_temporary)).bytes()))
            m_log.received(statusOf(*answer).text);
    }

    std::optional<Message> ask(Type type, const QByteArray &body)
    {
        const auto id = m_channel.send(type, body);
        return id ? m_channel.answer(*id) : std::nullopt;
    }

    bool refused(const Verdict &status)
    {
        m_log.received(status.text);
        if (m_result == SftpResult::Stored)
            m_result = SftpResult::ServerRefused;
        return false;
    }

    qint16 outcome() const
    {
        if (m_channel.failure() != SftpChannel::Failure::None)
            return sftpChannelFailureResult(m_channel, true);
        return m_result;
    }

    SftpChannel &m_channel;
    SessionLog &m_log;
    QString m_temporary;
    QString m_final;
    QByteArray m_handle;
    bool m_created = false;
    qint16 m_result = SftpResult::Stored;
};

} // namespace

qint16 sftpUpload(SftpChannel &channel, SessionLog &log, QIODevice &local, const QString &directory,
                  const QString &name)
{
    return Upload(channel, log, directory, name).run(local);
}

qint16 sftpChannelFailureResult(const SftpChannel &channel, bool whileSending)
{
    switch (channel.failure()) {
    case SftpChannel::Failure::TimedOut:
        return SftpResult::TimedOut;
    case SftpChannel::Failure::Cancelled:
        return SftpResult::Cancelled;
    case SftpChannel::Failure::BadReply:
    case SftpChannel::Failure::Refused:
        return SftpResult::BadReply;
    case SftpChannel::Failure::Closed:
    case SftpChannel::Failure::None:
        break;
    }
    return whileSending ? SftpResult::TransferIncomplete : SftpResult::NotConnected;
}

} // namespace Kakiva
