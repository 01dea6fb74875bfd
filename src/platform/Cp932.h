#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace Kakiva {

// Entries, pages and the settings file are Windows-932 (Shift_JIS) text.

// A character the code page cannot hold faithfully is written as an HTML decimal
// character reference such as "&#128512;", which a browser shows as the character: an
// emoji, say, or the yen sign, whose byte every reader takes as a backslash. An
// ampersand that would start such a reference is written "&#38;", so text typed as
// "&#128512;" stays that text. The conventional forms that every Shift_JIS reader takes
// as their full-width twins (〜 as ～, − as －, ¢ £ ¬ — ‖) keep their bytes.
QByteArray toCp932(QStringView text);

// Never fails: an invalid byte sequence decodes to U+FFFD.
QString fromCp932(QByteArrayView bytes);

// Turns back exactly those references that toCp932() writes, so that an entry read for
// editing round-trips. Other references, such as "&#65;" or "&amp;" in a file written
// before ampersands were escaped, are left as they stand.
QString restoreCharacterReferences(QStringView text);

} // namespace Kakiva
