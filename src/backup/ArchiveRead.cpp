#include "backup/ArchiveRead.h"

#include "backup/MemberNames.h"
#include "platform/WholeFile.h"

#include <QFile>
#include <QFileInfo>

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <memory>

namespace Kakiva {

namespace {

// Far beyond a diary's entry or page, or the pictures a user keeps beside the pages; an
// archive that claims more is damaged or was made to fill the disk.
constexpr qint64 MemberByteLimit = qint64(256) << 20;
// A backup unpacks to at most this many times its own size: the solid backup of the
// benchmark's twenty-year diary unpacks to about 22 times, a zip backup of earlier
// versions (stored) to once, pictures to about once. More is a bomb made to fill the disk.
constexpr qint64 UnpackedPerPackedByte = 100;
// ...but a small archive may always hold a small diary.
constexpr qint64 UnpackedFloor = qint64(64) << 20;
constexpr qsizetype ReadBlock = 64 * 1024;

const QString SolidSuffix = QStringLiteral(".tar.zst");

struct ArchiveFree
{
    void operator()(archive *handle) const { archive_read_free(handle); }
};
using ReadHandle = std::unique_ptr<archive, ArchiveFree>;

QString archiveError(archive *handle)
{
    const char *text = archive_error_string(handle);
    return text ? QString::fromLocal8Bit(text) : QStringLiteral("the archive cannot be read");
}

qint64 unpackedLimit(const QString &path)
{
    const qint64 packed = QFileInfo(path).size();
    return std::min(std::max(packed * UnpackedPerPackedByte, UnpackedFloor), BackupByteCeiling);
}

// Why this member may not be restored, or nothing when it may.
QString memberFault(archive_entry *entry, const char *utf8Name, MemberLayout *layout)
{
    const QString name = utf8Name ? QString::fromUtf8(utf8Name) : QString();
    if (!utf8Name || name.toUtf8() != QByteArrayView(utf8Name))
        return QStringLiteral("a member's name is not UTF-8");
    if (const QString fault = memberNameFault(name); !fault.isEmpty())
        return fault;
    if (archive_entry_is_encrypted(entry))
        return QStringLiteral("%1: encrypted").arg(name);
    const auto type = archive_entry_filetype(entry);
    if (archive_entry_hardlink(entry) || archive_entry_symlink(entry) ||
        (type != AE_IFREG && type != AE_IFDIR))
        return QStringLiteral("%1: not a regular file").arg(name);
    if (archive_entry_size_is_set(entry) && archive_entry_size(entry) > MemberByteLimit)
        return QStringLiteral("%1: larger than any diary's file").arg(name);
    return layout->add(name, type == AE_IFDIR);
}

class MemberReader
{
public:
    MemberReader(archive *handle, qint64 limit) : m_handle(handle), m_limit(limit) {}

    bool readAll(const MemberVisitor &visit, QString *error);

private:
    bool readBytes(const QString &name, QByteArray *bytes, QString *error);
    bool overLimit(qint64 more, QString *error);

    archive *m_handle;
    qint64 m_limit;
    qint64 m_total = 0;
    MemberLayout m_layout;
};

bool MemberReader::overLimit(qint64 more, QString *error)
{
    if (m_total + more <= m_limit)
        return false;
    *error = QStringLiteral("unpacks to more than a diary of its size could be");
    return true;
}

// The member's bytes, read to the end, which is where the archive's check of them runs.
bool MemberReader::readBytes(const QString &name, QByteArray *bytes, QString *error)
{
    static thread_local QByteArray block(ReadBlock, Qt::Uninitialized);
    for (;;) {
        const la_ssize_t read = archive_read_data(m_handle, block.data(), size_t(block.size()));
        if (read < 0) {
            *error = name + QStringLiteral(": ") + archiveError(m_handle);
            return false;
        }
        if (read == 0)
            return true;
        if (bytes->size() + read > MemberByteLimit) {
            *error = QStringLiteral("%1: larger than any diary's file").arg(name);
            return false;
        }
        if (overLimit(bytes->size() + read, error))
            return false;
        bytes->append(block.constData(), read);
    }
}

bool MemberReader::readAll(const MemberVisitor &visit, QString *error)
{
    archive_entry *entry = nullptr;
    for (;;) {
        const int next = archive_read_next_header(m_handle, &entry);
        if (next == ARCHIVE_EOF)
            return true;
        if (next != ARCHIVE_OK) {
            *error = archiveError(m_handle);
            return false;
        }
        const char *utf8Name = archive_entry_pathname_utf8(entry);
        if (const QString fault = memberFault(entry, utf8Name, &m_layout); !fault.isEmpty()) {
            *error = fault;
            return false;
        }
        if (archive_entry_filetype(entry) == AE_IFDIR)
            continue;
        // A member that says how large it is is refused before a byte of it is unpacked.
        if (archive_entry_size_is_set(entry) && overLimit(archive_entry_size(entry), error))
            return false;
        const QString name = QString::fromUtf8(utf8Name);
        QByteArray bytes;
        if (!readBytes(name, &bytes, error))
            return false;
        m_total += bytes.size();
        if (!visit(name, bytes, error))
            return false;
    }
}

bool supportFormat(archive *handle, bool solid)
{
    if (!solid)
        return archive_read_support_format_zip(handle) == ARCHIVE_OK;
    return archive_read_support_format_tar(handle) == ARCHIVE_OK &&
           archive_read_support_filter_zstd(handle) == ARCHIVE_OK;
}

// A solid backup is zstd outside and tar inside; a plain tar or a tar compressed
// otherwise is no backup of Kakiva's.
bool isZstdStream(archive *handle)
{
    return archive_filter_count(handle) == 2 &&
           archive_filter_code(handle, 0) == ARCHIVE_FILTER_ZSTD;
}

} // namespace

bool isTarZstdName(const QString &path)
{
    return path.endsWith(SolidSuffix);
}

bool readBackupArchive(const QString &path, const MemberVisitor &visit, QString *error)
{
    const bool solid = isTarZstdName(path);
    ReadHandle handle(archive_read_new());
    QString reason;
    bool read = supportFormat(handle.get(), solid) &&
                archive_read_open_filename(handle.get(), QFile::encodeName(path).constData(),
                                           size_t(ReadBlock)) == ARCHIVE_OK;
    if (read && solid && !isZstdStream(handle.get())) {
        reason = QStringLiteral("not compressed with zstd");
        read = false;
    }
    read = read && MemberReader(handle.get(), unpackedLimit(path)).readAll(visit, &reason);
    if (read)
        return true;
    if (reason.isEmpty())
        reason = archiveError(handle.get());
    *error = fileErrorMessage(path, reason);
    return false;
}

} // namespace Kakiva
