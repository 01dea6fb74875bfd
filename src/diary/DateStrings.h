#pragma once

#include <QString>

namespace Kakiva {

// A calendar value as the date travels between the windows: taken as a 16-bit integer,
// in decimal digits without leading zeros (2004, 3, 5).
QString dateFieldText(int value);

// Month and day name directories and files with two digits: "0" goes in front of a
// value of 9 or less ("3" becomes "03", "10" stays "10").
QString twoDigitDateField(const QString &field);

} // namespace Kakiva
