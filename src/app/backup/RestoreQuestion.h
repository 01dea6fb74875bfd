#pragma once

#include <QDate>
#include <QString>

#include <optional>

class QWidget;

namespace Kakiva {

struct BackupSummary;

enum class RestoreChoice
{
    Cancel,
    Everything,
    OneDay,
};

// Says what the backup holds (days, first and last date) and asks what to restore, the
// focus on キャンセル, since a restore replaces what is there now.
RestoreChoice askRestore(QWidget *window, const QString &backupName, const BackupSummary &summary);

// The day to take from the backup, or nothing when the user gives up.
std::optional<QDate> askRestoreDay(QWidget *window, const BackupSummary &summary);

} // namespace Kakiva
