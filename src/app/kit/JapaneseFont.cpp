#include "app/kit/JapaneseFont.h"

#include <QStringList>

namespace Kakiva {

QFont japaneseGothicFont(qreal pointSize)
{
    // MS UI Gothic first: the label sizes were laid out for its metrics. The newer
    // Windows UI faces follow, then the free proportional Gothic faces of other systems.
    static const QStringList families{
        QStringLiteral("MS UI Gothic"),     QStringLiteral("Yu Gothic UI"),
        QStringLiteral("Meiryo UI"),        QStringLiteral("IPAPGothic"),
        QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Noto Sans JP"),
    };
    QFont font;
    font.setFamilies(families);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    font.setWeight(QFont::Normal);
    return font;
}

} // namespace Kakiva
