#pragma once

#include "backup/SourceFile.h"

#include <QList>
#include <QObject>
#include <QString>

#include <memory>

class QThread;

namespace Kakiva {

// Backs the diary up without the user asking: after the first save of each day (when the
// backup folder holds none of that day yet) and at quit when something was saved since
// the last backup. The backup runs on a thread of its own, so saving never waits for it.
class AutoBackup : public QObject
{
    Q_OBJECT

public:
    explicit AutoBackup(QObject *parent = nullptr);
    // Waits for a running backup.
    ~AutoBackup() override;

    // Starts a backup on the worker thread unless one runs; false when one ran already.
    bool start();
    bool isRunning() const { return m_thread != nullptr; }
    // The files the last backup started by start() had to leave out, and why.
    const QList<LeftOutFile> &leftOut() const { return m_leftOut; }

    // For the end of the run: waits for a running backup, then writes one in the calling
    // thread when something was saved since the last one. False with *error when that
    // backup failed.
    bool backUpAtQuit(QString *error);

signals:
    // In this object's thread, once a backup started by start() has ended.
    void finished(bool written, const QString &error);

private:
    void noteSaved();
    void joined();

    std::unique_ptr<QThread> m_thread;
    bool m_changed = false;
    bool m_written = false;
    QString m_error;
    QList<LeftOutFile> m_leftOut;
};

} // namespace Kakiva
