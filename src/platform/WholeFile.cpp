#include "platform/WholeFile.h"

#include "platform/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace Kakiva {

QString fileErrorMessage(const QString &path, const QString &reason)
{
    return QDir::toNativeSeparators(path) + QStringLiteral(": ") + reason;
}

FileRead readFileWhole(const QString &path, QByteArray *bytes, QString *error)
{
    QFile file(path);
    QString reason;
    const FileOpen opened = openRegularFile(file, QIODevice::ReadOnly, &reason);
    if (opened == FileOpen::Opened) {
        *bytes = file.readAll();
        if (file.error() == QFileDevice::NoError)
            return FileRead::Done;
        reason = file.errorString();
    }
    if (error)
        *error = fileErrorMessage(path, reason);
    return opened == FileOpen::Missing ? FileRead::Missing : FileRead::Failed;
}

namespace {

bool fail(const QString &path, const QString &reason, QString *error)
{
    if (error)
        *error = fileErrorMessage(path, reason);
    return false;
}

// Writes unbuffered: QSaveFile::commit() does not notice when flushing its buffer fails (a
// disk that fills up) and would put the truncated file in place. A short write is tried
// again, since only the attempt that writes nothing reports the operating system's reason.
bool writeAll(QSaveFile &file, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}

// Saving through a symbolic link replaces the file it points to, not the link.
QString resolvedTarget(const QString &path)
{
    const QFileInfo info(path);
    return info.isSymLink() ? info.symLinkTarget() : path;
}

// QSaveFile names its temporary file after the target. Where the file system has no
// unnamed temporary files, a crash leaves that file beside the target, and a list of
// days would link it. Saving under a hidden name first keeps every leftover hidden.
QString hiddenStagingPath(const QString &target)
{
    const QFileInfo info(target);
    return info.dir().filePath(QLatin1Char('.') + info.fileName() + QStringLiteral(".new"));
}

QFileDevice::Permissions permissionsFor(const QString &target, bool ownerOnly)
{
    if (ownerOnly)
        return QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    return QFile::permissions(target);
}

bool saveStaging(const QString &staging, const QString &target, const QByteArray &bytes,
                 bool ownerOnly, QString *error)
{
    QFile::remove(staging); // a leftover of a crash would lend the new file its mode
    QSaveFile file(staging);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(target, file.errorString(), error);
    const QFileDevice::Permissions permissions = permissionsFor(target, ownerOnly);
    if (permissions && !file.setPermissions(permissions))
        return fail(target, file.errorString(), error);
    if (!writeAll(file, bytes) || !file.commit())
        return fail(target, file.errorString(), error);
    return true;
}

} // namespace

bool writeFileWhole(const QString &path, const QByteArray &bytes, QString *error, bool ownerOnly)
{
    const QString target = resolvedTarget(path);
    const QString staging = hiddenStagingPath(target);
    if (!saveStaging(staging, target, bytes, ownerOnly, error))
        return false;
    // rename() replaces the target in one step, so a reader sees the old or the new file.
    if (std::rename(QFile::encodeName(staging).constData(),
                    QFile::encodeName(target).constData()) != 0) {
        const int code = errno;
        QFile::remove(staging);
        return fail(path, QString::fromLocal8Bit(std::strerror(code)), error);
    }
    return true;
}

} // namespace Kakiva
