#pragma once

#include <QDeadlineTimer>

#include <atomic>
#include <chrono>

struct ssh_session_struct;

namespace Kakiva {

// Every wait of the SSH client goes through here, one short slice at a time, so that a
// raised cancel flag or a passed deadline ends it within a slice. The deadline restarts
// whenever the caller makes progress, so a long transfer is not cut off while it moves.
class SshWait
{
public:
    enum class Outcome
    {
        Go,
        TimedOut,
        Cancelled
    };

    static constexpr std::chrono::milliseconds Slice{100};

    SshWait(const std::atomic_bool *cancel, std::chrono::milliseconds timeout);

    void restart() { m_deadline.setRemainingTime(m_timeout); }
    // Cancelled, TimedOut, or Go when neither has happened yet.
    Outcome state() const;

    // Waits at most one slice for fd to become ready for events (poll flags).
    Outcome forSocket(int fd, short events);
    // Waits at most one slice for the session's socket: readable, or writable while the
    // library still holds output.
    Outcome forSession(ssh_session_struct *session);

    // Runs a non-blocking step of the library until it returns something other than again
    // or the wait ends; *outcome tells which.
    template <typename Step>
    int repeat(ssh_session_struct *session, int again, Outcome *outcome, Step step)
    {
        restart();
        for (;;) {
            const int rc = step();
            *outcome = Outcome::Go;
            if (rc != again)
                return rc;
            *outcome = forSession(session);
            if (*outcome != Outcome::Go)
                return rc;
        }
    }

private:
    const std::atomic_bool *m_cancel;
    std::chrono::milliseconds m_timeout;
    QDeadlineTimer m_deadline;
};

} // namespace Kakiva
