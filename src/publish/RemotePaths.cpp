#include "publish/RemotePaths.h"

namespace Kakiva {

namespace {

QStringList segmentsOf(const QString &path)
{
    QStringList segments = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    segments.removeAll(QStringLiteral("."));
    return segments;
}

QString relativePath(const QString &from, const QString &to)
{
    const QStringList fromSegments = segmentsOf(from);
    const QStringList toSegments = segmentsOf(to);
    qsizetype common = 0;
    while (common < fromSegments.size() && common < toSegments.size() &&
           fromSegments.at(common) == toSegments.at(common))
        ++common;
    QStringList path;
    for (qsizetype i = common; i < fromSegments.size(); ++i)
        path.append(QStringLiteral(".."));
    path.append(toSegments.mid(common));
    return path.join(QLatin1Char('/'));
}

} // namespace

QString remotePathBelow(const QString &root, const QString &target)
{
    if (target.isEmpty())
        return root;
    if (root.isEmpty())
        return target;
    return root.endsWith(QLatin1Char('/')) ? root + target : root + QLatin1Char('/') + target;
}

QString remoteDirectoryArgument(const QString &root, const std::optional<QString> &current,
                                const QString &target)
{
    if (root.startsWith(QLatin1Char('/')) || !current)
        return current == target ? QString() : remotePathBelow(root, target);
    return relativePath(*current, target);
}

QStringList remoteDirectoryChain(const QString &target)
{
    QStringList chain;
    QString path;
    for (const QString &segment : segmentsOf(target)) {
        path = remotePathBelow(path, segment);
        chain.append(path);
    }
    return chain;
}

} // namespace Kakiva
