#pragma once

#include "backup/SourceFile.h"
#include "platform/BackgroundJob.h"

#include <QList>
#include <QObject>
#include <QString>

namespace Kakiva {

// Backs the diary up without the user asking: after the first save of each day (when the
// backup folder holds none of that day yet) and at quit when something was saved since
// the last backup. The backup runs as a background job, so neither saving nor quitting
// waits on the disk in the window's thread.
class AutoBackup : public QObject
{
    Q_OBJECT

public:
    explicit AutoBackup(QObject *parent = nullptr);

    // Starts a backup as a background job unless one runs; false when one ran already.
    bool start();
    bool isRunning() const { return m_job.isRunning(); }
    // The running backup, for a window that waits for it.
    BackgroundJob &job() { return m_job; }
    // The files the last backup started by start() had to leave out, and why.
    const QList<LeftOutFile> &leftOut() const { return m_leftOut; }

    // For the end of the run, once no backup runs: takes in the save notices still queued
    // and tells whether something was saved since the last backup that was written.
    bool changedSinceBackup();

signals:
    // In this object's thread, once a backup started by start() has ended.
    void finished(bool written, const QString &error);

private:
    void noteSaved();
    void joined();

    bool m_changed = false;
    bool m_written = false;
    QString m_error;
    QList<LeftOutFile> m_leftOut;
    // Last, so that it is the first to go: it waits for the job that writes the above.
    BackgroundJob m_job;
};

} // namespace Kakiva
