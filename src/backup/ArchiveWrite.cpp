#include "backup/ArchiveWrite.h"

#include "backup/ZstdStream.h"

#include <QHashFunctions>
#include <QIODevice>

#include <archive.h>
#include <archive_entry.h>

#include <cerrno>
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

// The member's bytes and time, or false when it stays out (gone, or left out with the
// reason).
bool memberBytes(const ArchiveMember &member, QByteArray *bytes, qint64 *modified,
                 WrittenArchive *written)
{
    if (member.sourcePath.isEmpty()) {
        *bytes = member.bytes;
        *modified = member.modified;
        return true;
    }
    LeftOutFile leftOut;
    switch (readSourceFile(member.sourcePath, member.name, bytes, modified, &leftOut)) {
    case SourceRead::Read:
        return true;
    case SourceRead::Gone:
        return false;
    case SourceRead::LeftOut:
        break;
    }
    written->leftOut.append(leftOut);
    return false;
}

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
    for (const ArchiveMember &member : members) {
        QByteArray bytes;
        qint64 modified = 0;
        if (!memberBytes(member, &bytes, &modified, written))
            continue;
        if (!writeMember(handle.get(), member.name, bytes, modified)) {
            *error = archiveError(handle.get());
            return false;
        }
        written->members.append({member.name, bytes.size(), memberDigest(bytes)});
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
