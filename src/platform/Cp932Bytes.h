#pragma once

#include <QByteArrayView>

namespace Kakiva {

// Scanning Windows-932 bytes without decoding them. The second byte of a double-byte
// character can look like an ASCII character (0x5C '\', 0x5D ']'), so a byte-wise search
// must step over whole characters.

// Bytes taken by the character that starts at pos: 2 for a lead byte, else 1.
qsizetype cp932CharacterLength(QByteArrayView bytes, qsizetype pos);

// Position of the first character equal to the ASCII character wanted, or -1.
qsizetype cp932IndexOf(QByteArrayView bytes, char wanted);

// The longest start of bytes that is at most maxBytes long and does not end inside a
// double-byte character.
QByteArrayView cp932Prefix(QByteArrayView bytes, qsizetype maxBytes);

} // namespace Kakiva
