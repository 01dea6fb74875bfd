#include "publish/sftp/SftpUpload.h"

#include "publish/client/SessionLog.h"
#include "publish/sftp/SftpChannel.h"
#include "publish/sftp/SftpRemotePath.h"
#include "publish/sftp/SftpResult.h"

#include <QIODevice>
#include <QQueue>

#include <algorithm>
#include <memory>
#include <vector>

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

// One file's requests, sent in phases so that the phases of several files share their waits:
// each send* puts requests on the wire, the matching settle* reads their answers.
class Upload
{
public:
    Upload(SftpChannel &channel, SessionLog &log, const SftpUploadFile &file)
        : m_channel(channel), m_log(log), m_local(*file.local),
          m_temporary(sftpRemotePath(file.directory, file.temporaryName.isEmpty()
                                                         ? sftpTemporaryName(file.name)
                                                         : file.temporaryName)),
          m_final(sftpRemotePath(file.directory, file.name))
    {
    }

    bool going() const { return m_going && m_channel.failure() == SftpChannel::Failure::None; }

    void sendOpen()
    {
        m_log.sent(QStringLiteral("OPEN ") + m_temporary);
        Writer body;
        body.string(remote(m_temporary))
            .u32(OpenWrite | OpenCreate | OpenTruncate)
            .u32(AttrPermissions)
            .u32(PagePermissions);
        m_going = keep(m_channel.send(Open, body.bytes()));
    }

    void settleOpen()
    {
        if (going() && !open()) {
            // A handle came, so the file exists, even if its handle could not be read.
            if (m_created)
                stop();
            m_going = false;
        }
    }

    void sendWrites()
    {
        if (going())
            m_going = writeAll();
    }

    void settleWrites()
    {
        if (!going())
            return;
        bool allOk = !m_writeRefused;
        while (!m_pending.isEmpty()) {
            const quint32 id = m_pending.dequeue();
            allOk = (id == m_sizeAsked ? settleSize(id) : settle(id)) && allOk;
        }
        if (m_readFailed) {
            m_log.note(QStringLiteral("the local file could not be read"));
            m_result = SftpResult::LocalFileUnreadable;
            allOk = false;
        } else if (allOk) {
            m_log.received(QStringLiteral("STATUS 0 written"));
        }
        if (!allOk)
            stop();
    }

    // Another file of the lot failed: this one stays aside, and its temporary goes.
    void withhold()
    {
        if (!going())
            return;
        m_log.note(QStringLiteral("%1 not put in place: another file failed").arg(m_final));
        m_result = SftpResult::Withheld;
        stop();
    }

    // The posix-rename extension replaces the old file in one step; without it the old one
    // must go first, and a reader may miss the page for that moment.
    void sendRename()
    {
        if (!going())
            return;
        if (!m_channel.hasExtension(PosixRename, "1"))
            m_log.note(QStringLiteral("the server offers no posix-rename: %1 is removed before "
                                      "the rename, so the replace is not atomic")
                           .arg(m_final));
        m_log.sent(QStringLiteral("RENAME %1 %2").arg(m_temporary, m_final));
        const QByteArray paths =
            Writer().string(remote(m_temporary)).string(remote(m_final)).bytes();
        if (m_channel.hasExtension(PosixRename, "1")) {
            m_going = keep(m_channel.send(Extended, Writer().string(PosixRename).bytes() + paths));
            return;
        }
        m_going = keep(m_channel.send(Remove, Writer().string(remote(m_final)).bytes())) &&
                  keep(m_channel.send(Rename, paths));
    }

    void settleRename()
    {
        if (!going())
            return;
        const quint32 renamed = m_pending.takeLast();
        if (!m_pending.isEmpty() && !m_channel.answer(m_pending.dequeue()))
            return;
        const auto answer = m_channel.answer(renamed);
        if (!answer)
            return;
        const Verdict status = statusOf(*answer);
        m_log.received(status.text);
        m_stored = status.ok;
        if (!m_stored) {
            refused(status);
            stop();
        }
    }

    qint16 outcome() const
    {
        if (m_stored)
            return SftpResult::PutFile::Stored;
        if (m_channel.failure() != SftpChannel::Failure::None)
            return sftpChannelFailureResult(m_channel, true);
        return m_result;
    }

private:
    bool keep(std::optional<quint32> id)
    {
        if (id)
            m_pending.enqueue(*id);
        return id.has_value();
    }

    bool open()
    {
        const auto answer = m_channel.answer(m_pending.dequeue());
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
    bool writeAll()
    {
        quint64 offset = 0;
        for (;;) {
            const QByteArray chunk = m_local.read(WriteSize);
            if (chunk.isEmpty()) {
                m_readFailed = !m_local.atEnd();
                break;
            }
            Writer body;
            body.string(m_handle).u64(offset).string(chunk);
            if (!keep(m_channel.send(Write, body.bytes())))
                return false;
            offset += quint64(chunk.size());
            if (m_pending.size() >= WritesInFlight && !settle(m_pending.dequeue())) {
                m_writeRefused = true;
                break;
            }
        }
        m_log.sent(QStringLiteral("WRITE %1 bytes, FSTAT, CLOSE").arg(offset));
        m_sent = offset;
        const auto asked = m_channel.send(Fstat, Writer().string(m_handle).bytes());
        if (!keep(asked))
            return false;
        m_sizeAsked = *asked;
        return keep(m_channel.send(Close, Writer().string(m_handle).bytes()));
    }

    bool settle(quint32 id)
    {
        const auto answer = m_channel.answer(id);
        if (!answer)
            return false;
        const Verdict status = statusOf(*answer);
        return status.ok || refused(status);
    }

    // The size the server holds of the open temporary, asked before its close: a quota or a
    // full disk that cut the writes short shows here even where every write was answered.
    bool settleSize(quint32 id)
    {
        const auto answer = m_channel.answer(id);
        if (!answer)
            return false;
        if (answer->type != Attrs)
            return statusOf(*answer).ok || refused(statusOf(*answer));
        Reader reader(answer->body);
        const auto flags = reader.u32();
        const auto size = flags && (*flags & AttrSize) ? reader.u64() : std::nullopt;
        if (!size) {
            m_log.note(QStringLiteral("the server did not tell the size of ") + m_temporary);
            return true;
        }
        if (*size == m_sent)
            return true;
        m_log.received(QStringLiteral("ATTRS size %1 of %2 bytes sent").arg(*size).arg(m_sent));
        m_result = SftpResult::StoredDiffers;
        return false;
    }

    // After a refusal the file goes no further and its temporary is removed; a channel
    // that failed meanwhile ends the session, which leaves nothing to ask.
    void stop()
    {
        m_going = false;
        if (m_channel.failure() != SftpChannel::Failure::None)
            return;
        m_log.sent(QStringLiteral("REMOVE ") + m_temporary);
        const auto id = m_channel.send(Remove, Writer().string(remote(m_temporary)).bytes());
        if (const auto answer = id ? m_channel.answer(*id) : std::nullopt)
            m_log.received(statusOf(*answer).text);
    }

    bool refused(const Verdict &status)
    {
        m_log.received(status.text);
        if (m_result == SftpResult::PutFile::Stored)
            m_result = SftpResult::ServerRefused;
        return false;
    }

    SftpChannel &m_channel;
    SessionLog &m_log;
    QIODevice &m_local;
    QString m_temporary;
    QString m_final;
    QByteArray m_handle;
    QQueue<quint32> m_pending;
    std::optional<quint32> m_sizeAsked;
    quint64 m_sent = 0;
    bool m_going = false;
    bool m_created = false;
    bool m_readFailed = false;
    bool m_writeRefused = false;
    bool m_stored = false;
    qint16 m_result = SftpResult::PutFile::Stored;
};

} // namespace

QList<qint16> sftpUpload(SftpChannel &channel, SessionLog &log, const QList<SftpUploadFile> &files)
{
    std::vector<std::unique_ptr<Upload>> uploads;
    for (const SftpUploadFile &file : files)
        uploads.push_back(std::make_unique<Upload>(channel, log, file));
    // All opens, then all writes with their closes, then, when the server holds every file
    // whole, the renames: three waits for the lot.
    const auto run = [&](std::initializer_list<void (Upload::*)()> phases) {
        for (const auto phase : phases) {
            for (const auto &upload : uploads)
                (upload.get()->*phase)();
        }
    };
    run({&Upload::sendOpen, &Upload::settleOpen, &Upload::sendWrites, &Upload::settleWrites});
    // Files given temporary names replace their pages all or none; others each on its own.
    const bool allOrNone = std::any_of(files.begin(), files.end(), [](const SftpUploadFile &file) {
        return !file.temporaryName.isEmpty();
    });
    const bool allWhole = std::all_of(uploads.begin(), uploads.end(),
                                      [](const auto &upload) { return upload->going(); });
    run({!allOrNone || allWhole ? &Upload::sendRename : &Upload::withhold, &Upload::settleRename});
    QList<qint16> results;
    for (const auto &upload : uploads)
        results.append(upload->outcome());
    return results;
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
