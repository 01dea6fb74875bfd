#pragma once

#include <QFont>

namespace Kakiva {

// The proportional Japanese Gothic UI face at the given size, regular weight. The first
// installed family of a list wins, so the program looks right on Windows and on a
// desktop that only has the free Gothic faces.
QFont japaneseGothicFont(qreal pointSize);

} // namespace Kakiva
