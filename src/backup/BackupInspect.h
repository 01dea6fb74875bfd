#pragma once

#include <QDate>
#include <QSet>
#include <QString>

namespace Kakiva {

// What a backup holds, for the question before a restore.
struct BackupSummary
{
    int files = 0;
    qint64 bytes = 0;
    int days = 0; // entries
    QDate first;
    QDate last;
    bool hasDay(const QDate &date) const { return entryDays.contains(date); }
    QSet<QDate> entryDays;
};

// Reads the whole backup at path and checks every member (see readBackupArchive), and that
// it holds only what a Kakiva backup holds. False with *error for anything else, a
// foreign or empty archive among them.
bool inspectBackup(const QString &path, BackupSummary *summary, QString *error);

} // namespace Kakiva
