#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace Kakiva {

// Entries, pages and the settings file are Windows-932 (Shift_JIS) text.

// A character the code page cannot hold (an emoji, say) is written as an HTML decimal
// character reference such as "&#128512;", which a browser shows as the character.
QByteArray toCp932(QStringView text);

// Never fails: an invalid byte sequence decodes to U+FFFD.
QString fromCp932(QByteArrayView bytes);

// Turns back exactly those references that toCp932() writes (characters the code page
// cannot hold), so that an entry read for editing round-trips. Other references, such as
// "&#65;" or "&amp;", are left as the user typed them.
QString restoreCharacterReferences(QStringView text);

} // namespace Kakiva
