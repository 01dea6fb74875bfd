#include "app/kit/FittedText.h"

#include <QFontMetricsF>
#include <QLabel>

namespace Kakiva {

namespace {

// The size the label was designed for, remembered on first use so that shrinking for
// one long text does not shrink every later one.
constexpr char DesignedSizeProperty[] = "kakivaDesignedPointSize";

qreal designedPointSize(QLabel *label)
{
    const QVariant stored = label->property(DesignedSizeProperty);
    if (stored.isValid())
        return stored.toReal();
    const qreal size = label->font().pointSizeF();
    label->setProperty(DesignedSizeProperty, size);
    return size;
}

} // namespace

void setFittedText(QLabel *label, const QString &text)
{
    QFont font = label->font();
    const QRectF available = label->contentsRect();
    for (qreal size = designedPointSize(label); size > 4; size -= 0.25) {
        font.setPointSizeF(size);
        const QFontMetricsF metrics(font);
        if (metrics.horizontalAdvance(text) <= available.width() &&
            metrics.height() <= available.height())
            break;
    }
    label->setFont(font);
    label->setText(text);
}

} // namespace Kakiva
