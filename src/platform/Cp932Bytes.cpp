#include "platform/Cp932Bytes.h"

namespace Kakiva {

namespace {

bool isLeadByte(char byte)
{
    const auto value = static_cast<unsigned char>(byte);
    return (value >= 0x81 && value <= 0x9F) || (value >= 0xE0 && value <= 0xFC);
}

} // namespace

qsizetype cp932CharacterLength(QByteArrayView bytes, qsizetype pos)
{
    return isLeadByte(bytes[pos]) ? 2 : 1;
}

qsizetype cp932IndexOf(QByteArrayView bytes, char wanted)
{
    for (qsizetype pos = 0; pos < bytes.size(); pos += cp932CharacterLength(bytes, pos)) {
        if (bytes[pos] == wanted)
            return pos;
    }
    return -1;
}

QByteArrayView cp932Prefix(QByteArrayView bytes, qsizetype maxBytes)
{
    qsizetype end = 0;
    while (end < bytes.size()) {
        const qsizetype next = end + cp932CharacterLength(bytes, end);
        if (next > maxBytes)
            break;
        end = next;
    }
    // A lead byte at the very end has no second byte; it still counts as one character.
    return bytes.first(qMin(end, bytes.size()));
}

} // namespace Kakiva
