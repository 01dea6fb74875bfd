#pragma once

#include <QStringView>

#include <optional>

namespace Kakiva {

// Control characters (CR, LF, NUL, DEL, C1...) never go into a command line or the log.
bool isControlCharacter(QChar c);

// False when text holds a control character (CR, LF, NUL, DEL, C1...): anything that could
// end a command line early or smuggle in a second one.
bool isSendable(QStringView text);

// A TCP port from decimal digits only ("21", not "+21" or "0x15"), 1 to 65535.
std::optional<quint16> portFromDigits(QStringView digits);
std::optional<quint16> portFromNumber(qulonglong number);

} // namespace Kakiva
