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

DateFields paddedDateFields(const QDate &date)
{
    return {dateFieldText(date.year()), twoDigitDateField(dateFieldText(date.month())),
            twoDigitDateField(dateFieldText(date.day()))};
}

QDate dateOf(const DateFields &fields)
{
    return QDate(fields.year.toInt(), fields.month.toInt(), fields.day.toInt());
}

QString slashedDate(const QDate &date)
{
    const DateFields fields = paddedDateFields(date);
    return fields.year + QLatin1Char('/') + fields.month + QLatin1Char('/') + fields.day;
}

} // namespace Kakiva
