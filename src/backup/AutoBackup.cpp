#include "backup/AutoBackup.h"

#include "backup/BackupFolder.h"
#include "backup/BackupRun.h"
#include "diary/EntrySaveNotice.h"

#include <QCoreApplication>

namespace Kakiva {

namespace {

bool backedUpToday()
{
    const QList<BackupFile> backups = listBackups(backupFolder());
    return !backups.isEmpty() && backups.first().taken.date() == QDate::currentDate();
}

} // namespace

AutoBackup::AutoBackup(QObject *parent) : QObject(parent)
{
    // Queued: the save that raised the notice goes on to rewrite the pages, and the
    // backup should hold them too.
    connect(&EntrySaveNotice::instance(), &EntrySaveNotice::saved, this, &AutoBackup::noteSaved,
            Qt::QueuedConnection);
    connect(&m_job, &BackgroundJob::finished, this, &AutoBackup::joined);
}

void AutoBackup::noteSaved()
{
    m_changed = true;
    if (!isRunning() && !backedUpToday())
        start();
}

bool AutoBackup::start()
{
    if (isRunning())
        return false;
    // Whatever is saved from now on may miss this backup.
    m_changed = false;
    m_leftOut.clear();
    return m_job.start([this](JobProgress &) {
        m_written = writeBackupNow(&m_error, nullptr, Pruning::Rotate, &m_leftOut);
    });
}

void AutoBackup::joined()
{
    if (!m_written)
        m_changed = true;
    emit finished(m_written, m_error);
}

bool AutoBackup::changedSinceBackup()
{
    // A save just before quitting may not have been heard of yet.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    return m_changed;
}

} // namespace Kakiva
