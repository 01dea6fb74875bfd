#pragma once

#include <QByteArrayView>
#include <QList>

namespace Kakiva {

// Every line the program writes ends with CR LF.
inline constexpr char LineEnd[] = "\r\n";

// Splits stored text into lines the way entries have always been read: a line ends at
// CR LF or at a CR alone, the line end is not part of the line, and a LF without a CR
// before it stays in the line. Text after the last line end is one more line; an empty
// input has no lines.
QList<QByteArrayView> splitLines(QByteArrayView bytes);

} // namespace Kakiva
