#include "publish/ServerIdentityTrust.h"

#include <QMutexLocker>

namespace Kakiva {

ServerIdentityTrust::ServerIdentityTrust(Questions ask, CertificateTrust::CancelCheck cancelled)
    : m_certificates(std::move(ask.certificate), cancelled), m_askHostKey(std::move(ask.hostKey)),
      m_cancelled(std::move(cancelled))
{
}

ServerTrust ServerIdentityTrust::decisions()
{
    return {[this](const CertificateQuestion &question) { return m_certificates.decide(question); },
            [this](const HostKeyQuestion &question) { return decideHostKey(question); }};
}

ServerIdentityTrust::Refusal ServerIdentityTrust::refusal() const
{
    if (m_certificates.refused())
        return Refusal::Certificate;
    return m_hostKeyRefused ? Refusal::HostKey : Refusal::None;
}

bool ServerIdentityTrust::decideHostKey(const HostKeyQuestion &question)
{
    const QMutexLocker locker(&m_asking);
    if (question.fingerprint == m_trustedKey)
        return true;
    if (m_hostKeyRefused)
        return false;
    if (m_askHostKey && !m_cancelled() && m_askHostKey(question)) {
        m_trustedKey = question.fingerprint;
        return true;
    }
    m_hostKeyRefused = !m_cancelled();
    return false;
}

OutcomeKind refusalKind(ServerIdentityTrust::Refusal refusal)
{
    switch (refusal) {
    case ServerIdentityTrust::Refusal::Certificate:
        return OutcomeKind::CertificateNotAccepted;
    case ServerIdentityTrust::Refusal::HostKey:
        return OutcomeKind::HostKeyNotTrusted;
    case ServerIdentityTrust::Refusal::None:
        break;
    }
    return OutcomeKind::None;
}

} // namespace Kakiva
