#include "publish/ControlCharacters.h"

#include <algorithm>

namespace Kakiva {

bool isControlCharacter(QChar c)
{
    return c.category() == QChar::Other_Control;
}

bool holdsControlCharacter(QStringView text)
{
    return std::any_of(text.begin(), text.end(), isControlCharacter);
}

} // namespace Kakiva
