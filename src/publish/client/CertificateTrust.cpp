#include "publish/client/CertificateTrust.h"

#include "settings/CertificatePin.h"

#include <QMutexLocker>

namespace Kakiva {

CertificateTrust::CertificateTrust(Question ask, CancelCheck cancelled)
    : m_ask(std::move(ask)), m_cancelled(std::move(cancelled))
{
}

bool CertificateTrust::decide(const CertificateQuestion &question)
{
    const QMutexLocker locker(&m_asking);
    const QString fingerprint = certificateFingerprint(question.certificate);
    const QString pinned = readCertificatePin(question.server);
    if (pinned == fingerprint)
        return true;
    if (m_refused)
        return false;
    CertificateQuestion asked = question;
    asked.changed = !pinned.isEmpty();
    if (m_ask && !m_cancelled() && m_ask(asked)) {
        // The session goes on even if the pin cannot be stored: this time the user said yes.
        writeCertificatePin(question.server, fingerprint);
        return true;
    }
    m_refused = !m_cancelled();
    return false;
}

} // namespace Kakiva
