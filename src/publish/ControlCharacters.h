#pragma once

#include <QChar>
#include <QStringView>

namespace Kakiva {

// Text bound for the control connection, the log or a host name must not hold a control
// character: a CR or LF would end the line early and let a second one ride along.
bool isControlCharacter(QChar c);
bool holdsControlCharacter(QStringView text);

} // namespace Kakiva
