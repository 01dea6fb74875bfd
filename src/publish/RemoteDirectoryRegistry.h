#pragma once

#include <QHash>
#include <QMutex>
#include <QString>
#include <QWaitCondition>

#include <atomic>

namespace Kakiva {

// Which remote directories the sessions of one bulk publish know to exist, so that each
// missing one is made by one session once, while the others wait for it.
class RemoteDirectoryRegistry
{
public:
    enum class Claim
    {
        Exists,   // known to exist: nothing to make
        Yours,    // the caller makes it, then calls settle()
        Cancelled // the cancel flag went up while another session was making it
    };

    // Waits while another session makes directory.
    Claim claim(const QString &directory, const std::atomic_bool *cancel);
    // The claimed directory was made (or found), or not: another session may then try.
    void settle(const QString &directory, bool exists);
    // A directory entered: it and every directory above it exist.
    void markEntered(const QString &directory);

private:
    enum class State
    {
        Unknown,
        Making,
        Exists
    };

    QMutex m_mutex;
    QWaitCondition m_settled;
    QHash<QString, State> m_states;
};

} // namespace Kakiva
