#include "backup/ArchiveWrite.h"

#include "platform/WholeFile.h"

#include <QIODevice>

#include <archive.h>
#include <archive_entry.h>

#include <cerrno>
#include <memory>

namespace Kakiva {

namespace {

// Stored, not deflated: the archive writer starts a fresh deflate state for each member,
// which for the thousands of small files of a diary takes several times as long as
// reading them, while storing them costs less than twice the space.
constexpr const char *ZipOptions = "zip:compression=store,"
                                   "zip:hdrcharset=UTF-8";

// Fewer, larger writes to the (unbuffered) file.
constexpr int WriteBlock = 256 * 1024;

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

la_ssize_t writeToDevice(archive *handle, void *client, const void *buffer, size_t length)
{
    auto *device = static_cast<QIODevice *>(client);
    const qint64 wanted = qint64(length);
    if (device->write(static_cast<const char *>(buffer), wanted) != wanted) {
        archive_set_error(handle, EIO, "%s", qPrintable(device->errorString()));
        return -1;
    }
    return la_ssize_t(length);
}

QString archiveError(archive *handle)
{
    const char *text = archive_error_string(handle);
    return text ? QString::fromLocal8Bit(text) : QStringLiteral("the archive could not be written");
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

} // namespace

bool writeZipArchive(QIODevice &device, const QList<ArchiveMember> &members,
                     QList<WrittenMember> *written, QString *error)
{
    WriteHandle handle(archive_write_new());
    archive_write_set_format_zip(handle.get());
    archive_write_set_bytes_per_block(handle.get(), WriteBlock);
    archive_write_set_bytes_in_last_block(handle.get(), 1);
    if (archive_write_set_options(handle.get(), ZipOptions) != ARCHIVE_OK ||
        archive_write_open2(handle.get(), &device, nullptr, writeToDevice, nullptr, nullptr) !=
            ARCHIVE_OK) {
        *error = archiveError(handle.get());
        return false;
    }
    for (const ArchiveMember &member : members) {
        QByteArray bytes = member.bytes;
        if (!member.sourcePath.isEmpty()) {
            const FileRead read = readFileWhole(member.sourcePath, &bytes, error);
            if (read == FileRead::Missing)
                continue;
            if (read == FileRead::Failed)
                return false;
        }
        if (!writeMember(handle.get(), member.name, bytes, member.modified)) {
            *error = archiveError(handle.get());
            return false;
        }
        written->append({member.name, bytes.size()});
    }
    if (archive_write_close(handle.get()) != ARCHIVE_OK) {
        *error = archiveError(handle.get());
        return false;
    }
    return true;
}

} // namespace Kakiva
