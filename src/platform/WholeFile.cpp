#include "platform/WholeFile.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace Kakiva {

QString fileErrorMessage(const QString &path, const QString &reason)
{
    return QDir::toNativeSeparators(path) + QStringLiteral(": ") + reason;
}

namespace {

bool fail(const QSaveFile &file, const QString &path, QString *error)
{
    if (error)
        *error = fileErrorMessage(path, file.errorString());
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

} // namespace

FileRead readFileWhole(const QString &path, QByteArray *bytes, QString *error)
{
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        *bytes = file.readAll();
        if (file.error() == QFileDevice::NoError)
            return FileRead::Done;
    }
    if (error)
        *error = fileErrorMessage(path, file.errorString());
    return file.exists() ? FileRead::Failed : FileRead::Missing;
}

bool writeFileWhole(const QString &path, const QByteArray &bytes, QString *error, bool ownerOnly)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(file, path, error);
    if (ownerOnly && !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return fail(file, path, error);
    if (!writeAll(file, bytes))
        return fail(file, path, error);
    if (!file.commit())
        return fail(file, path, error);
    return true;
}

} // namespace Kakiva
