#include "publish/PublishRun.h"

#include <QMutexLocker>

namespace Kakiva {

PublishRun::PublishRun(PublishRequest request)
    : m_request(std::move(request)), m_record(m_request.destination),
      m_trust(m_request.ask, [this] { return cancelled(); })
{
}

bool PublishRun::fail(const PublishFailure &failure)
{
    const QMutexLocker locker(&m_mutex);
    if (!m_outcome.failure.isFailure())
        m_outcome.failure = failure;
    return false;
}

PublishFailure PublishRun::failure()
{
    const QMutexLocker locker(&m_mutex);
    return m_outcome.failure;
}

void PublishRun::confirmed(const QString &remotePath, const QString &recordError)
{
    const QMutexLocker locker(&m_mutex);
    m_outcome.confirmed.append(remotePath);
    if (m_outcome.recordError.isEmpty())
        m_outcome.recordError = recordError;
}

void PublishRun::loggedIn(bool in, bool required)
{
    const QMutexLocker locker(&m_mutex);
    if (in)
        ++m_outcome.logins;
    else if (!required)
        ++m_outcome.refusedSessions; // the server takes fewer sessions: do without
}

void PublishRun::addWire(const WireStats &stats)
{
    const QMutexLocker locker(&m_mutex);
    m_outcome.wire.commandsSent += stats.commandsSent;
    m_outcome.wire.roundTrips += stats.roundTrips;
    m_outcome.wire.storesResent += stats.storesResent;
}

PublishOutcome PublishRun::outcome(bool complete)
{
    const QMutexLocker locker(&m_mutex);
    PublishOutcome outcome = m_outcome;
    if (cancelled())
        outcome.result = PublishResult::Cancelled;
    else if (m_trust.refusal() == ServerIdentityTrust::Refusal::Certificate)
        outcome.result = PublishResult::CertificateRefused;
    else if (m_trust.refusal() == ServerIdentityTrust::Refusal::HostKey)
        outcome.result = PublishResult::HostKeyRefused;
    else if (m_incompatible)
        outcome.result = PublishResult::Incompatible;
    else if (complete)
        outcome.result = PublishResult::Succeeded;
    else if (!outcome.failure.isFailure())
        outcome.failure = PublishFailure(OutcomeKind::Failed);
    if (outcome.result == PublishResult::Succeeded)
        outcome.failure = PublishFailure();
    return outcome;
}

} // namespace Kakiva
