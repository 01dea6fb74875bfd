#include "publish/RemoteDirectoryRegistry.h"

#include "publish/RemotePaths.h"

#include <QMutexLocker>

namespace Kakiva {

namespace {

// How often a waiting session looks at the cancel flag.
constexpr int CancelPollMs = 50;

} // namespace

RemoteDirectoryRegistry::Claim RemoteDirectoryRegistry::claim(const QString &directory,
                                                              const std::atomic_bool *cancel)
{
    QMutexLocker locker(&m_mutex);
    for (;;) {
        switch (m_states.value(directory, State::Unknown)) {
        case State::Exists:
            return Claim::Exists;
        case State::Unknown:
            m_states.insert(directory, State::Making);
            return Claim::Yours;
        case State::Making:
            if (cancel && *cancel)
                return Claim::Cancelled;
            m_settled.wait(&m_mutex, CancelPollMs);
            break;
        }
    }
}

void RemoteDirectoryRegistry::settle(const QString &directory, bool exists)
{
    const QMutexLocker locker(&m_mutex);
    m_states.insert(directory, exists ? State::Exists : State::Unknown);
    m_settled.wakeAll();
}

void RemoteDirectoryRegistry::markEntered(const QString &directory)
{
    const QMutexLocker locker(&m_mutex);
    for (const QString &path : remoteDirectoryChain(directory))
        m_states.insert(path, State::Exists);
    m_settled.wakeAll();
}

} // namespace Kakiva
