#include "publish/sftp/SftpRemotePath.h"

#include <QDir>

#include <algorithm>

namespace Kakiva {

namespace {

QString withoutTrailingSlashes(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

QString joined(const QString &directory, const QString &name)
{
    const QString trimmed = withoutTrailingSlashes(name);
    if (trimmed.startsWith(QLatin1Char('/')))
        return trimmed;
    if (trimmed.isEmpty())
        return directory.isEmpty() ? QStringLiteral(".") : directory;
    if (directory.isEmpty())
        return trimmed;
    if (directory.endsWith(QLatin1Char('/')))
        return directory + trimmed;
    return directory + QLatin1Char('/') + trimmed;
}

} // namespace

QString sftpRemotePath(const QString &directory, const QString &name)
{
    // "www/2024/05/../.." is the directory the user named, "www", even where the server
    // would follow a linked month directory elsewhere before going up.
    return QDir::cleanPath(joined(directory, name));
}

QString sftpTemporaryName(const QString &name)
{
    return QLatin1Char('.') + name + QStringLiteral(".upload");
}

} // namespace Kakiva
