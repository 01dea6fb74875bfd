#include "platform/TextLines.h"

namespace Kakiva {

QList<QByteArrayView> splitLines(QByteArrayView bytes)
{
    QList<QByteArrayView> lines;
    qsizetype start = 0;
    const qsizetype size = bytes.size();
    while (start < size) {
        qsizetype end = start;
        while (end < size && bytes[end] != '\r')
            ++end;
        lines.append(bytes.sliced(start, end - start));
        start = end + 1;
        if (start < size && bytes[start] == '\n')
            ++start;
    }
    return lines;
}

} // namespace Kakiva
