#include "publish/sftp/SftpDirectoryRead.h"

#include "publish/client/SessionLog.h"
#include "publish/sftp/SftpAttributes.h"
#include "publish/sftp/SftpChannel.h"
#include "publish/sftp/SftpResult.h"
#include "publish/sftp/SftpUpload.h"

#include <optional>

namespace Kakiva {

namespace {

using namespace SftpPacket;

constexpr quint32 StatusEndOfFile = 1;
constexpr int ReadsTogether = 2;

std::optional<quint32> statusOf(const Message &answer)
{
    if (answer.type != Status)
        return std::nullopt;
    return Reader(answer.body).u32();
}

struct DirectoryRead
{
    SftpChannel &channel;
    SessionLog &log;
    QList<RemoteEntry> *entries;
    qint64 bytes = 0;
    quint64 names = 0; // read so far, those left out included

    qint16 failure() const { return sftpChannelFailureResult(channel, false); }

    std::optional<QByteArray> open(const QString &path, qint16 *result)
    {
        log.sent(QStringLiteral("OPENDIR ") + path);
        const auto id = channel.send(Opendir, Writer().string(path.toUtf8()).bytes());
        const auto answer = id ? channel.answer(*id) : std::nullopt;
        if (!answer) {
            *result = failure();
            return std::nullopt;
        }
        if (answer->type != Handle) {
            *result = SftpResult::Command::Refused;
            return std::nullopt;
        }
        Reader reader(answer->body);
        const auto handle = reader.string();
        if (!handle)
            *result = SftpResult::BadReply;
        return handle;
    }

    // One round of READDIRs, with the CLOSE behind them when closing: nothing while there is
    // more to read.
    std::optional<qint16> readRound(const QByteArray &handle, bool closing)
    {
        QList<quint32> ids;
        for (int i = 0; i < ReadsTogether; ++i) {
            const auto id = channel.send(Readdir, Writer().string(handle).bytes());
            if (!id)
                return failure();
            ids.append(*id);
        }
        const auto closeId =
            closing ? channel.send(Close, Writer().string(handle).bytes()) : std::nullopt;
        if (closing && !closeId)
            return failure();
        std::optional<qint16> end;
        for (const quint32 id : ids) {
            const auto answer = channel.answer(id);
            if (!answer)
                return failure();
            if (!end)
                end = take(*answer);
            // Past the end, or after a refusal, an answer is only read off the channel.
        }
        if (closeId && !channel.answer(*closeId))
            return failure();
        return end;
    }

    // One answer to READDIR: nothing while there is more to read.
    std::optional<qint16> take(const Message &answer)
    {
        if (answer.type != Name) {
            return statusOf(answer) == StatusEndOfFile ? SftpResult::Command::Done
                                                       : SftpResult::Command::Refused;
        }
        bytes += answer.body.size();
        const auto count = Reader(answer.body).u32();
        names += count.value_or(0);
        // An answer of no names would let a server keep the reading going for ever.
        if (bytes > RemoteListing::MaxBytes || count.value_or(0) == 0 ||
            !readSftpNames(answer.body, entries)) {
            log.note(QStringLiteral("the directory's listing is malformed or too large"));
            return SftpResult::BadReply;
        }
        if (names >= quint64(RemoteListing::MaxEntries))
            return SftpResult::Command::Done;
        return std::nullopt;
    }

    void close(const QByteArray &handle)
    {
        const auto id = channel.send(Close, Writer().string(handle).bytes());
        if (id)
            channel.answer(*id);
    }

    // Reads the directory at path whole. closeEarly sends the CLOSE behind the first round of
    // READDIRs; when that round did not reach the end, the directory is read again.
    qint16 read(const QString &path, bool closeEarly)
    {
        entries->clear();
        bytes = 0;
        names = 0;
        qint16 result = SftpResult::Command::Done;
        const std::optional<QByteArray> handle = open(path, &result);
        if (!handle)
            return result;
        std::optional<qint16> end = readRound(*handle, closeEarly);
        if (closeEarly)
            return end ? *end : read(path, false);
        while (!end)
            end = readRound(*handle, false);
        if (channel.failure() == SftpChannel::Failure::None)
            close(*handle);
        return *end;
    }
};

} // namespace

bool readSftpNames(const QByteArray &body, QList<RemoteEntry> *entries)
{
    Reader reader(body);
    const auto count = reader.u32();
    if (!count)
        return false;
    for (quint32 i = 0; i < *count; ++i) {
        const auto name = reader.string();
        const auto longName = reader.string();
        const auto attributes = name && longName ? readSftpAttributes(reader) : std::nullopt;
        if (!attributes)
            return false;
        const QString text = QString::fromUtf8(*name);
        if (!isPlainEntryName(text) || entries->size() >= RemoteListing::MaxEntries)
            continue;
        if (attributes->isDirectory())
            entries->append({text, -1, true, {}});
        else if (attributes->isRegularFile())
            entries->append({text, attributes->size ? qint64(*attributes->size) : -1, false, {}});
    }
    return true;
}

qint16 sftpListDirectory(SftpChannel &channel, SessionLog &log, const QString &path,
                         QList<RemoteEntry> *entries)
{
    DirectoryRead reading{channel, log, entries};
    // A diary's directory fits the first round: its CLOSE then shares that round's wait.
    const qint16 result = reading.read(path, true);
    if (result == SftpResult::BadReply)
        entries->clear();
    log.received(QStringLiteral("listed %1 entries").arg(entries->size()));
    return result;
}

} // namespace Kakiva
