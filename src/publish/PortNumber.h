#pragma once

#include <QtGlobal>

#include <optional>

namespace Kakiva {

// A TCP port a connection can go to: 1 to 65535.
inline std::optional<quint16> portNumber(quint64 value)
{
    if (value == 0 || value > 65535)
        return std::nullopt;
    return static_cast<quint16>(value);
}

} // namespace Kakiva
