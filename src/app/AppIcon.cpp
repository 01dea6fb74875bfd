#include "app/AppIcon.h"

#include "app/JapaneseFont.h"

#include <QPainter>
#include <QPixmap>

namespace Kakiva {

namespace {

QPixmap drawIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF page(size * 0.08, size * 0.08, size * 0.84, size * 0.84);
    const QRectF band(page.left(), page.top(), page.width(), page.height() * 0.26);
    painter.setPen(QPen(QColor(70, 70, 70), qMax(1.0, size / 32.0)));
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(page, size * 0.08, size * 0.08);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(200, 40, 40));
    painter.drawRect(band);
    QFont font = japaneseGothicFont(10);
    font.setPixelSize(qMax(6, int(size * 0.5)));
    painter.setFont(font);
    painter.setPen(QColor(40, 40, 40));
    painter.drawText(page.adjusted(0, band.height(), 0, 0), Qt::AlignCenter, QStringLiteral("日"));
    return pixmap;
}

} // namespace

QIcon appIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64})
        icon.addPixmap(drawIcon(size));
    return icon;
}

} // namespace Kakiva
