#include "publish/client/WireText.h"

#include <QString>

#include <algorithm>

namespace Kakiva {

bool isControlCharacter(QChar c)
{
    return c.category() == QChar::Other_Control;
}

bool isSendable(QStringView text)
{
    return std::none_of(text.begin(), text.end(), isControlCharacter);
}

std::optional<quint16> portFromNumber(qulonglong number)
{
    if (number == 0 || number > 65535)
        return std::nullopt;
    return static_cast<quint16>(number);
}

std::optional<quint16> portFromDigits(QStringView digits)
{
    const bool digitsOnly = std::all_of(digits.begin(), digits.end(), [](QChar c) {
        return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    });
    if (digits.isEmpty() || digits.size() > 5 || !digitsOnly)
        return std::nullopt;
    return portFromNumber(digits.toString().toULongLong());
}

} // namespace Kakiva
