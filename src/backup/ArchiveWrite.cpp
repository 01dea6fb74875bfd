#include "backup/ArchiveWrite.h"

#include "backup/ZstdStream.h"

#include <QHashFunctions>
#include <QIODevice>

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cerrno>
#include <deque>
#include <future>
#include <memory>

namespace Kakiva {

namespace {

// Fewer, larger blocks to the compressor.
constexpr int WriteBlock = 256 * 1024;

constexpr size_t DigestSeed = 0x4b616b69;

struct ArchiveFree
{
    void operator()(archive *handle) const { archive_write_free(handle); }
};
struct EntryFree
{
    void operator()(archive_entry *entry) const { archive_entry_free(entry); }
};
using WriteHandle = std::unique_ptr<archive, ArchiveFree>;
using EntryHandle = std::unique_ptr<archive_entry, EntryFree>;

la_ssize_t writeToStream(archive *handle, void *client, const void *buffer, size_t length)
{
    auto *stream = static_cast<ZstdStream *>(client);
    if (!stream->write(static_cast<const char *>(buffer), qsizetype(length))) {
        archive_set_error(handle, EIO, "%s", qPrintable(stream->error()));
        return -1;
    }
    return la_ssize_t(length);
}

QString archiveError(archive *handle)
{
    const char *text = archive_error_string(handle);
    return text ? QString::fromLocal8Bit(text) : QStringLiteral("the archive could not be written");
}

// One solid stream: the thousands of pages of a diary are mostly the same markup, which a
// stream compressed whole finds again across files.
bool openArchive(archive *handle, ZstdStream &stream)
{
    // pax: names are stored as UTF-8 whatever their length.
    return archive_write_set_format_pax_restricted(handle) == ARCHIVE_OK &&
           archive_write_set_bytes_per_block(handle, WriteBlock) == ARCHIVE_OK &&
           archive_write_set_bytes_in_last_block(handle, 1) == ARCHIVE_OK &&
           archive_write_open2(handle, &stream, nullptr, writeToStream, nullptr, nullptr) ==
               ARCHIVE_OK;
}

bool writeMember(archive *handle, const QString &name, const QByteArray &bytes, qint64 modified)
{
    EntryHandle entry(archive_entry_new());
    archive_entry_set_pathname_utf8(entry.get(), name.toUtf8().constData());
    archive_entry_set_filetype(entry.get(), AE_IFREG);
    archive_entry_set_perm(entry.get(), 0644);
    archive_entry_set_size(entry.get(), bytes.size());
    archive_entry_set_mtime(entry.get(), modified, 0);
    if (archive_write_header(handle, entry.get()) != ARCHIVE_OK)
        return false;
    if (!bytes.isEmpty() && archive_write_data(handle, bytes.constData(), size_t(bytes.size())) !=
                                la_ssize_t(bytes.size()))
        return false;
    return archive_write_finish_entry(handle) == ARCHIVE_OK;
}

// The files are read on threads of their own, a run of them at a time and two runs ahead
// of the archive: for the thousands of small files of a diary the opening and reading
// costs more than the archive and its compression together.
constexpr qsizetype RunLength = 256;
constexpr int RunsAhead = 2;

struct MemberRead
{
    SourceRead result = SourceRead::Gone;
    QByteArray bytes;
    qint64 modified = 0;
    LeftOutFile leftOut;
};
using Run = QList<MemberRead>;

Run readRun(const QList<ArchiveMember> &members, qsizetype first)
{
    Run run;
    const qsizetype end = std::min(first + RunLength, members.size());
    for (qsizetype index = first; index < end; ++index) {
        const ArchiveMember &member = members[index];
        MemberRead read;
        if (member.sourcePath.isEmpty())
            read = {SourceRead::Read, member.bytes, member.modified, {}};
        else
            read.result = readSourceFile(member.sourcePath, member.name, &read.bytes,
                                         &read.modified, &read.leftOut);
        run.append(std::move(read));
    }
    return run;
}

// The members' reads in their order, the later ones under way meanwhile.
class ReadAhead
{
public:
    explicit ReadAhead(const QList<ArchiveMember> &members) : m_members(members)
    {
        for (int run = 0; run < RunsAhead; ++run)
            launch();
    }

    bool atEnd() const { return m_ahead.empty(); }

    Run next()
    {
        Run run = m_ahead.front().get();
        m_ahead.pop_front();
        launch();
        return run;
    }

private:
    void launch()
    {
        if (m_next >= m_members.size())
            return;
        m_ahead.push_back(std::async(std::launch::async, readRun, std::cref(m_members), m_next));
        m_next += RunLength;
    }

    const QList<ArchiveMember> &m_members;
    qsizetype m_next = 0;
    std::deque<std::future<Run>> m_ahead;
};

} // namespace

size_t memberDigest(const QByteArray &bytes)
{
    return qHashBits(bytes.constData(), size_t(bytes.size()), DigestSeed);
}

bool writeBackupArchive(QIODevice &device, const QList<ArchiveMember> &members,
                        WrittenArchive *written, QString *error)
{
    ZstdStream stream(device);
    WriteHandle handle(archive_write_new());
    if (!openArchive(handle.get(), stream)) {
        *error = archiveError(handle.get());
        return false;
    }
    ReadAhead reads(members);
    qsizetype index = 0;
    while (!reads.atEnd()) {
        for (const MemberRead &read : reads.next()) {
            const QString &name = members[index++].name;
            if (read.result == SourceRead::LeftOut)
                written->leftOut.append(read.leftOut);
            if (read.result != SourceRead::Read)
                continue; // gone meanwhile, or left out
            if (!writeMember(handle.get(), name, read.bytes, read.modified)) {
                *error = archiveError(handle.get());
                return false;
            }
            written->members.append({name, read.bytes.size(), memberDigest(read.bytes)});
        }
    }
    if (archive_write_close(handle.get()) != ARCHIVE_OK) {
        *error = archiveError(handle.get());
        return false;
    }
    if (!stream.finish()) {
        *error = stream.error();
        return false;
    }
    return true;
}

} // namespace Kakiva
