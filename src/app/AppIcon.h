#pragma once

#include <QIcon>

namespace Kakiva {

// The program's icon: a page of a tear-off calendar with the character for "day" on it,
// drawn at run time so the program needs no image files beside it.
QIcon appIcon();

} // namespace Kakiva
