#include "app/kit/AppIcon.h"

#include <QDirIterator>
#include <QFileInfo>

namespace Kakiva {

QIcon appIcon()
{
    QIcon icon;
    QDirIterator sizes(QStringLiteral(":/icons"), {QStringLiteral("kakiva.png")}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (sizes.hasNext()) {
        // Each size lies in a folder named after it. Given the size, the icon reads a file
        // only when that size is drawn, rather than decoding every one at once.
        const QString path = sizes.next();
        const int size = QFileInfo(path).dir().dirName().toInt();
        icon.addFile(path, size > 0 ? QSize(size, size) : QSize());
    }
    return icon;
}

} // namespace Kakiva
