#include "app/AppIcon.h"

#include <QDirIterator>
#include <QFileInfo>

namespace Kakiva {

QIcon appIcon()
{
    QIcon icon;
    QDirIterator sizes(QStringLiteral(":/icons"), {QStringLiteral("kakiva.png")}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (sizes.hasNext()) {
        // The folder names the size, so no image is read before the icon is drawn: the
        // window shows without waiting for eight files to be decoded.
        const QString path = sizes.next();
        const int side = QFileInfo(path).dir().dirName().toInt();
        icon.addFile(path, side > 0 ? QSize(side, side) : QSize());
    }
    return icon;
}

} // namespace Kakiva
