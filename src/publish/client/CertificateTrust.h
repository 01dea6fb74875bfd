#pragma once

#include "publish/client/CertificateQuestion.h"

#include <QMutex>

#include <atomic>
#include <functional>

namespace Kakiva {

// Decides on a server certificate that does not verify: the one pinned for the server (in
// Kakiva.ini) is accepted; any other, a changed one included, is put to the user, and one the
// user trusts is pinned. A refusal is remembered, since asking again at once would only get the
// same answer.
//
// Sessions of one run may ask from several threads: one question is asked at a time, and a
// later session then finds the pin the first one stored.
class CertificateTrust
{
public:
    // Asks the user whether to trust a certificate; true trusts it.
    using Question = std::function<bool(const CertificateQuestion &question)>;
    using CancelCheck = std::function<bool()>;

    // Without a question, a certificate that is not pinned is refused.
    CertificateTrust(Question ask, CancelCheck cancelled);

    // As FtpClient::setCertificateCheck wants it.
    bool decide(const CertificateQuestion &question);
    // The user refused a certificate (a cancelled question is no refusal).
    bool refused() const { return m_refused; }

private:
    Question m_ask;
    CancelCheck m_cancelled;
    QMutex m_asking;
    std::atomic_bool m_refused{false};
};

} // namespace Kakiva
