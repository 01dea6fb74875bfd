#include "app/kit/AppIcon.h"

#include <QDirIterator>

namespace Kakiva {

QIcon appIcon()
{
    QIcon icon;
    QDirIterator sizes(QStringLiteral(":/icons"), {QStringLiteral("kakiva.png")}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (sizes.hasNext())
        icon.addFile(sizes.next());
    return icon;
}

} // namespace Kakiva
