#include "publish/sftp/SftpRemotePath.h"

#include <algorithm>

namespace Kakiva {

namespace {

QString withoutTrailingSlashes(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

} // namespace

QString sftpRemotePath(const QString &directory, const QString &name)
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

QString sftpTemporaryName(const QString &name)
{
    return QLatin1Char('.') + name + QStringLiteral(".upload");
}

} // namespace Kakiva
