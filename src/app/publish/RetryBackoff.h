#pragma once

#include <algorithm>
#include <chrono>

namespace Kakiva {

// Pauses between failed attempts: the first, doubled after each failure up to the last.
// Retrying at once would flood the server with logins, and a wrong password can get the
// user's address banned.
class RetryBackoff
{
public:
    void setDelays(std::chrono::milliseconds first, std::chrono::milliseconds last)
    {
        m_last = last;
        m_next = first;
    }
    // The pause before the next attempt; the one after it is twice as long.
    std::chrono::milliseconds take()
    {
        const auto delay = m_next;
        m_next = std::min(m_next * 2, m_last);
        return delay;
    }
    std::chrono::milliseconds next() const { return m_next; }

private:
    std::chrono::milliseconds m_last{60000};
    std::chrono::milliseconds m_next{2000};
};

} // namespace Kakiva
