#include "journal/SitePaths.h"

#include "publish/SiteInventory.h"

namespace Kakiva::journal {

QStringList sitePathsOf(const QStringList &localPaths)
{
    QStringList paths;
    for (const QString &path : localPaths)
        paths.append(remotePathOf(path));
    return paths;
}

} // namespace Kakiva::journal
