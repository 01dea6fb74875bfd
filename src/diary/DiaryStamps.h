#pragma once

#include "platform/FileStamps.h"

#include <QDate>
#include <QList>

namespace Kakiva {

struct StampedDay
{
    QDate date;
    FileStamp stamp;
};

// Every entry file of the diary with its stamp, newest first: the days the calendar and
// the search know of, found by listing the entry store's directories.
QList<StampedDay> stampDiary();

} // namespace Kakiva
