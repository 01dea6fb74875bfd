#pragma once

#include <QList>

namespace Kakiva {

// The days of one month that have an entry, found by listing that month's directory
// of the entry store and nothing else. Ascending; empty when the month has no entries.
QList<int> daysWithEntries(int year, int month);

} // namespace Kakiva
