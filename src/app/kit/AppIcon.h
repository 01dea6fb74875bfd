#pragma once

#include <QIcon>

namespace Kakiva {

// The program's icon: a page of a tear-off calendar with the character for "day" on it,
// in every size rendered from data/kakiva.svg and built into the program, so a portable
// copy shows it as well as an installed one.
QIcon appIcon();

} // namespace Kakiva
