#pragma once

#include "platform/Cp932.h"

#include <QByteArray>
#include <QString>

// text as an entry file holds it: Windows-932, every line ended by CR LF.
inline QByteArray entryFileBytes(QString text)
{
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return Kakiva::toCp932(text + QLatin1String("\r\n"));
}
