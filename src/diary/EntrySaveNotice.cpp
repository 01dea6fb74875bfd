#include "diary/EntrySaveNotice.h"

namespace Kakiva {

EntrySaveNotice &EntrySaveNotice::instance()
{
    static EntrySaveNotice notice;
    return notice;
}

void noteEntrySaved(const QString &year, const QString &month, const QString &day)
{
    emit EntrySaveNotice::instance().saved(year, month, day);
}

} // namespace Kakiva
