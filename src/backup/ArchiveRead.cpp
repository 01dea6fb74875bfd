#include "backup/ArchiveRead.h"

#include "platform/WholeFile.h"

#include <QFile>
#include <QStringList>

#include <archive.h>
#include <archive_entry.h>

#include <memory>

namespace Kakiva {

namespace {

// Far beyond a diary's entry or page, or the pictures a user keeps beside the pages; an
// archive that claims more is damaged or was made to fill the disk.
constexpr qint64 MemberByteLimit = qint64(256) << 20;
constexpr qint64 ArchiveByteLimit = qint64(16) << 30;
constexpr qsizetype ReadBlock = 64 * 1024;

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

bool isPlainRelativePath(const QString &name)
{
    if (name.isEmpty() || name.startsWith(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        return false;
    const QStringList parts = name.split(QLatin1Char('/'));
    for (qsizetype index = 0; index < parts.size(); ++index) {
        const QString &part = parts[index];
        // A folder's name ends in '/', which leaves one empty last part.
        if (part.isEmpty() && index == parts.size() - 1 && index > 0)
            continue;
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String(".."))
            return false;
    }
    return true;
}

// Why this member may not be restored, or nothing when it may.
QString memberFault(archive_entry *entry, const char *utf8Name)
{
    const QString name = utf8Name ? QString::fromUtf8(utf8Name) : QString();
    if (!utf8Name || name.toUtf8() != QByteArray(utf8Name))
        return QStringLiteral("a member's name is not UTF-8");
    if (!isPlainRelativePath(name))
        return QStringLiteral("%1: not a relative path inside the archive").arg(name);
    if (archive_entry_is_encrypted(entry))
        return QStringLiteral("%1: encrypted").arg(name);
    const auto type = archive_entry_filetype(entry);
    if (archive_entry_hardlink(entry) || archive_entry_symlink(entry) ||
        (type != AE_IFREG && type != AE_IFDIR))
        return QStringLiteral("%1: not a regular file").arg(name);
    if (archive_entry_size_is_set(entry) && archive_entry_size(entry) > MemberByteLimit)
        return QStringLiteral("%1: larger than any diary's file").arg(name);
    return {};
}

// The member's bytes, read to the end, which is where the archive's check of them runs.
bool readMemberBytes(archive *handle, const QString &name, QByteArray *bytes, QString *error)
{
    static thread_local QByteArray block(ReadBlock, Qt::Uninitialized);
    for (;;) {
        const la_ssize_t read = archive_read_data(handle, block.data(), size_t(block.size()));
        if (read < 0) {
            *error = name + QStringLiteral(": ") + archiveError(handle);
            return false;
        }
        if (read == 0)
            return true;
        if (bytes->size() + read > MemberByteLimit) {
            *error = QStringLiteral("%1: larger than any diary's file").arg(name);
            return false;
        }
        bytes->append(block.constData(), read);
    }
}

bool readMembers(archive *handle, const MemberVisitor &visit, QString *error)
{
    qint64 total = 0;
    archive_entry *entry = nullptr;
    for (;;) {
        const int next = archive_read_next_header(handle, &entry);
        if (next == ARCHIVE_EOF)
            return true;
        if (next != ARCHIVE_OK) {
            *error = archiveError(handle);
            return false;
        }
        const char *utf8Name = archive_entry_pathname_utf8(entry);
        if (const QString fault = memberFault(entry, utf8Name); !fault.isEmpty()) {
            *error = fault;
            return false;
        }
        if (archive_entry_filetype(entry) == AE_IFDIR)
            continue;
        const QString name = QString::fromUtf8(utf8Name);
        QByteArray bytes;
        if (!readMemberBytes(handle, name, &bytes, error))
            return false;
        total += bytes.size();
        if (total > ArchiveByteLimit) {
            *error = QStringLiteral("larger than any diary's backup");
            return false;
        }
        if (!visit(name, bytes, error))
            return false;
    }
}

} // namespace

bool readZipArchive(const QString &path, const MemberVisitor &visit, QString *error)
{
    ReadHandle handle(archive_read_new());
    archive_read_support_format_zip(handle.get());
    QString reason;
    const bool read = archive_read_open_filename(handle.get(), QFile::encodeName(path).constData(),
                                                 size_t(ReadBlock)) == ARCHIVE_OK &&
                      readMembers(handle.get(), visit, &reason);
    if (read)
        return true;
    if (reason.isEmpty())
        reason = archiveError(handle.get());
    *error = fileErrorMessage(path, reason);
    return false;
}

} // namespace Kakiva
