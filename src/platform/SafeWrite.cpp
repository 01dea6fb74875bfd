#include "SafeWrite.h"

#include <QDir>
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

} // namespace

bool writeFileWhole(const QString &path, const QByteArray &bytes, QString *error, bool ownerOnly)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file, path, error);
    if (ownerOnly && !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return fail(file, path, error);
    if (file.write(bytes) != bytes.size())
        return fail(file, path, error);
    if (!file.commit())
        return fail(file, path, error);
    return true;
}

} // namespace Kakiva
