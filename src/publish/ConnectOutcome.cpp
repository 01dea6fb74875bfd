#include "publish/ConnectOutcome.h"

#include "publish/client/ClientResult.h"

namespace Kakiva {

ConnectOutcome classifyConnectResult(qint16 result)
{
    namespace Connect = ClientResult::Connect;
    switch (result) {
    case Connect::Connected:
        return {OutcomeKind::Connected, false, false};
    case Connect::HostKeyNotTrusted:
        return {OutcomeKind::HostKeyNotTrusted, true, true};
    case Connect::NoCommonAlgorithm:
        return {OutcomeKind::NoCommonAlgorithm, true, true};
    case Connect::NoUsableLogin:
        return {OutcomeKind::NoUsableLogin, true, true};
    case Connect::SecondFactorAsked:
        return {OutcomeKind::SecondFactorAsked, true, true};
    case Connect::SocketNotOpened:
        return {OutcomeKind::SocketNotOpened, true, false};
    case Connect::TimedOut:
        return {OutcomeKind::TimedOut, true, false};
    case Connect::TlsCertificateFailed:
        return {OutcomeKind::CertificateNotAccepted, true, false};
    case Connect::TlsProtocolTooOld:
        return {OutcomeKind::TlsTooOld, true, true};
    case Connect::TlsHandshakeRefused:
        return {OutcomeKind::TlsHandshakeFailed, true, false};
    default:
        break;
    }
    if (Connect::isRefusal(result))
        return {OutcomeKind::ConnectFailed, true, false};
    if (Connect::isSocketError(result))
        return {OutcomeKind::NetworkError, true, false};
    return {};
}

} // namespace Kakiva
