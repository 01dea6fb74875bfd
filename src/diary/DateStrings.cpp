#include "diary/DateStrings.h"

namespace Kakiva {

QString dateFieldText(int value)
{
    return QString::number(static_cast<qint16>(value));
}

QString twoDigitDateField(const QString &field)
{
    // A field that already has two digits keeps them: padding "05" again would name a
    // directory "005" that no page links.
    if (field.size() < 2 && field.toInt() <= 9)
        return QLatin1Char('0') + field;
    return field;
}

DateFields paddedDateFields(const QDate &date)
{
    return {dateFieldText(date.year()), twoDigitDateField(dateFieldText(date.month())),
            twoDigitDateField(dateFieldText(date.day()))};
}

QString slashedDate(const QDate &date)
{
    const DateFields fields = paddedDateFields(date);
    return fields.year + QLatin1Char('/') + fields.month + QLatin1Char('/') + fields.day;
}

} // namespace Kakiva
