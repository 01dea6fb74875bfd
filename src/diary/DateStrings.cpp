#include "diary/DateStrings.h"

namespace Kakiva {

QString dateFieldText(int value)
{
    return QString::number(static_cast<qint16>(value));
}

QString twoDigitDateField(const QString &field)
{
    // Never cuts: a field that already has two digits keeps them, since "005" would name
    // a directory that no page links.
    return field.rightJustified(2, QLatin1Char('0'));
}

} // namespace Kakiva
