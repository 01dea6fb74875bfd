#include "backup/BackupInspect.h"

#include "backup/ArchiveRead.h"
#include "backup/BackupLayout.h"
#include "platform/WholeFile.h"

namespace Kakiva {

namespace {

void tally(BackupSummary *summary, const QString &name, qint64 size)
{
    ++summary->files;
    summary->bytes += size;
    const std::optional<QDate> day = entryDateOf(name);
    if (!day)
        return;
    ++summary->days;
    summary->entryDays.insert(*day);
    if (!summary->first.isValid() || *day < summary->first)
        summary->first = *day;
    if (!summary->last.isValid() || *day > summary->last)
        summary->last = *day;
}

} // namespace

bool inspectBackup(const QString &path, BackupSummary *summary, QString *error)
{
    *summary = {};
    const auto check = [summary](const QString &name, const QByteArray &bytes, QString *fault) {
        if (!isBackupMemberName(name)) {
            *fault = name + QStringLiteral(": not part of a Kakiva backup");
            return false;
        }
        tally(summary, name, bytes.size());
        return true;
    };
    if (!readBackupArchive(path, check, error))
        return false;
    if (summary->files == 0) {
        *error = fileErrorMessage(path, QStringLiteral("holds nothing of a Kakiva backup"));
        return false;
    }
    return true;
}

} // namespace Kakiva
