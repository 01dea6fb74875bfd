#pragma once

#include "pictures/WebPicture.h"

#include <QString>

namespace Kakiva {

// What the user reads when a picture cannot be inserted: what is wrong and, where there is
// a way, what to do instead. source names the file (empty for the clipboard).
QString pictureFaultText(const QString &source, const WebPicture &picture);

} // namespace Kakiva
