#include "publish/sftp/SshWait.h"

#include <libssh/libssh.h>

#include <poll.h>

#include <algorithm>

namespace Kakiva {

SshWait::SshWait(const std::atomic_bool *cancel, std::chrono::milliseconds timeout)
    : m_cancel(cancel), m_timeout(timeout), m_deadline(timeout)
{
}

SshWait::Outcome SshWait::state() const
{
    if (m_cancel && m_cancel->load())
        return Outcome::Cancelled;
    if (m_deadline.hasExpired())
        return Outcome::TimedOut;
    return Outcome::Go;
}

SshWait::Outcome SshWait::forSocket(int fd, short events)
{
    const Outcome before = state();
    if (before != Outcome::Go)
        return before;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(m_deadline.remainingTimeAsDuration());
    pollfd entry{fd, events, 0};
    ::poll(&entry, 1,
           static_cast<int>(std::clamp(left, std::chrono::milliseconds(1), Slice).count()));
    return state();
}

SshWait::Outcome SshWait::forSession(ssh_session_struct *session)
{
    short events = POLLIN;
    if (ssh_get_poll_flags(session) & SSH_WRITE_PENDING)
        events |= POLLOUT;
    return forSocket(ssh_get_fd(session), events);
}

} // namespace Kakiva
