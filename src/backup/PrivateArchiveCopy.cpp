#include "backup/PrivateArchiveCopy.h"

#include "backup/ArchiveRead.h"
#include "platform/AppDir.h"
#include "platform/RegularFile.h"
#include "platform/WholeFile.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace Kakiva {

namespace {

constexpr qint64 CopyBlock = 1 << 20;

QString copyPathFor(const QString &source)
{
    return applicationPath(QStringLiteral(".Kakiva-restore") + (isTarZstdName(source)
                                                                    ? QStringLiteral(".tar.zst")
                                                                    : QStringLiteral(".zip")));
}

bool copyBytes(QFile &from, QSaveFile &to, QString *reason)
{
    QByteArray block(CopyBlock, Qt::Uninitialized);
    qint64 total = 0;
    for (;;) {
        const qint64 read = from.read(block.data(), block.size());
        if (read < 0) {
            *reason = from.errorString();
            return false;
        }
        if (read == 0)
            return true;
        total += read;
        if (total > BackupByteCeiling) {
            *reason = QStringLiteral("larger than any diary's backup");
            return false;
        }
        if (to.write(block.constData(), read) != read) {
            *reason = to.errorString();
            return false;
        }
    }
}

} // namespace

PrivateArchiveCopy::~PrivateArchiveCopy()
{
    if (!m_path.isEmpty())
        QFile::remove(m_path);
}

bool PrivateArchiveCopy::take(const QString &source, QString *error)
{
    QFile from(source);
    QString reason;
    if (openRegularFile(from, QIODevice::ReadOnly, &reason) != FileOpen::Opened) {
        *error = fileErrorMessage(source, reason);
        return false;
    }
    const QString path = copyPathFor(source);
    QSaveFile to(path);
    // Unbuffered, so that a disk that fills up fails the write that met it.
    if (!to.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        *error = fileErrorMessage(path, to.errorString());
        return false;
    }
    if (!copyBytes(from, to, &reason)) {
        to.cancelWriting();
        *error = fileErrorMessage(source, reason);
        return false;
    }
    if (!to.commit()) {
        *error = fileErrorMessage(path, to.errorString());
        return false;
    }
    m_source = source;
    m_path = path;
    return true;
}

QString PrivateArchiveCopy::asSource(QString error) const
{
    return error.replace(QDir::toNativeSeparators(m_path), QDir::toNativeSeparators(m_source));
}

} // namespace Kakiva
