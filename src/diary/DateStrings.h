#pragma once

#include <QDate>
#include <QString>

namespace Kakiva {

// A calendar value as the date travels between the windows: taken as a 16-bit integer,
// in decimal digits without leading zeros (2004, 3, 5).
QString dateFieldText(int value);

// Month and day name directories and files with two digits: "0" goes in front of a
// one-digit value ("3" becomes "03", "10" and "03" stay as they are).
QString twoDigitDateField(const QString &field);

// The three strings that name the entry and the pages of date, as the entry dialog pads
// them: 2004, 03, 05.
struct DateFields
{
    QString year;
    QString month;
    QString day;
};
DateFields paddedDateFields(const QDate &date);
// The date the three strings name; invalid when they name none.
QDate dateOf(const DateFields &fields);

// date as the program writes it for people: 2004/03/05.
QString slashedDate(const QDate &date);

} // namespace Kakiva
