#include "publish/TemporaryNames.h"

#include "diary/DayPictureNames.h"

#include <QRandomGenerator>
#include <QRegularExpression>

namespace Kakiva {

QString newUploadTag()
{
    return QString::number(QRandomGenerator::global()->generate(), 16).rightJustified(8, u'0');
}

QString temporaryName(const QString &tag, int index)
{
    return QStringLiteral(".kakiva-%1-%2.tmp").arg(tag).arg(index);
}

bool isTemporaryName(const QString &name)
{
    static const QRegularExpression pattern(QStringLiteral("^\\.kakiva-[0-9a-f]{8}-[0-9]+\\.tmp$"));
    return pattern.match(name).hasMatch();
}

bool isKakivaTemporary(const QString &name)
{
    if (isTemporaryName(name))
        return true;
    // Only the files a site holds ever had such a temporary.
    const QLatin1String upload(".upload");
    if (!name.startsWith(QLatin1Char('.')) || !name.endsWith(upload))
        return false;
    const QString page = name.mid(1, name.size() - 1 - upload.size());
    if (parseDayPictureName(page))
        return true;
    return page.size() > 5 && !page.startsWith(QLatin1Char('.')) &&
           (page.endsWith(QLatin1String(".html")) || page.endsWith(QLatin1String(".css")) ||
            page.endsWith(QLatin1String(".xml")));
}

} // namespace Kakiva
