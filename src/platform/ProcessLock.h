#pragma once

#include <QByteArray>
#include <QString>

namespace Kakiva {

// A lock one process holds on a file for as long as it runs. The kernel lets it go when
// the process ends, however it ends, so no lock is ever stale and nothing is written into
// the file: taking it costs no flush to the disk before the program's first window.
// Holders of a Qt lock file on the same path exclude it and are excluded by it alike.
class ProcessLock
{
public:
    enum class Outcome
    {
        Taken,
        HeldElsewhere, // another process, or another lock in this one, holds it
        Failed,        // the file cannot be made or opened, or locks are not supported
    };

    explicit ProcessLock(const QString &path);
    ~ProcessLock();
    ProcessLock(const ProcessLock &) = delete;
    ProcessLock &operator=(const ProcessLock &) = delete;

    // Tries once, without waiting.
    Outcome tryLock();
    bool isHeld() const { return m_file >= 0; }

private:
    QByteArray m_path;
    int m_file = -1;
};

} // namespace Kakiva
