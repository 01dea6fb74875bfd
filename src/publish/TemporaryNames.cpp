#include "publish/TemporaryNames.h"

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

} // namespace Kakiva
