#pragma once

#include <QList>
#include <QString>
#include <QStringView>

namespace Kakiva {

// The days of one month that have an entry, found by listing that month's directory
// of the entry store and nothing else. Ascending; empty when the month has no entries.
QList<int> daysWithEntries(int year, int month);

// The day whose entry the store keeps under this file name ("05.dia"), or 0 for any
// other file.
int dayOfEntryFile(QStringView fileName);

} // namespace Kakiva
