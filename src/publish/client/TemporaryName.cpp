#include "publish/client/TemporaryName.h"

namespace Kakiva {

bool isKakivaTemporary(const QString &name)
{
    const QLatin1String prefix(".kakiva-");
    const QLatin1String suffix(".tmp");
    if (name.startsWith(prefix) && name.endsWith(suffix))
        return name.size() > prefix.size() + suffix.size();
    // Only the files a site holds ever had such a temporary.
    const QLatin1String upload(".upload");
    if (!name.startsWith(QLatin1Char('.')) || !name.endsWith(upload))
        return false;
    const QString page = name.mid(1, name.size() - 1 - upload.size());
    return page.size() > 5 && !page.startsWith(QLatin1Char('.')) &&
           (page.endsWith(QLatin1String(".html")) || page.endsWith(QLatin1String(".css")) ||
            page.endsWith(QLatin1String(".xml")));
}

} // namespace Kakiva
