#pragma once

#include "publish/OutcomeKind.h"
#include "publish/client/CertificateTrust.h"
#include "publish/client/HostKeyQuestion.h"
#include "publish/client/PublishClient.h"

#include <QMutex>
#include <QString>

#include <atomic>

namespace Kakiva {

// The decisions of one upload or publish run on the server's identity, whichever protocol
// it speaks: a TLS certificate goes through CertificateTrust (pins in Kakiva.ini); an SSH host
// key that no known-hosts file holds, a changed one included, is put to the user (the SFTP
// client adds a key the user trusts to the program's own known_hosts). A refusal of either
// is remembered for the run, since asking again at once would only get the same answer, and
// sessions of one run asking from several threads are asked one at a time.
class ServerIdentityTrust
{
public:
    struct Questions
    {
        CertificateTrust::Question certificate;
        HostKeyTrust hostKey;
    };
    enum class Refusal
    {
        None,
        Certificate,
        HostKey
    };

    ServerIdentityTrust(Questions ask, CertificateTrust::CancelCheck cancelled);

    // For PublishClient::setServerTrust; the calls refer to this object, which must outlive
    // the client's use of them.
    ServerTrust decisions();
    // What the user refused so far (a cancelled question is no refusal).
    Refusal refusal() const;

private:
    bool decideHostKey(const HostKeyQuestion &question);

    CertificateTrust m_certificates;
    HostKeyTrust m_askHostKey;
    CertificateTrust::CancelCheck m_cancelled;
    QMutex m_asking;
    QString m_trustedKey; // a key trusted this run, should the known-hosts file not take it
    std::atomic_bool m_hostKeyRefused{false};
};

// The kind of outcome of a refusal; None for none.
OutcomeKind refusalKind(ServerIdentityTrust::Refusal refusal);

} // namespace Kakiva
