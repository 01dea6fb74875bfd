#include "DateStrings.h"

namespace Kakiva {

QString dateFieldText(int value)
{
    return QString::number(static_cast<qint16>(value));
}

QString twoDigitDateField(const QString &field)
{
    if (field.toInt() <= 9)
        return QLatin1Char('0') + field;
    return field;
}

} // namespace Kakiva
