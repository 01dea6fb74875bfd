#include "publish/UploadStatus.h"

#include "publish/client/ClientResult.h"

namespace Kakiva {

ConnectOutcome classifyConnectResult(qint16 result)
{
    using namespace ClientResult;
    if (result == Connected)
        return {UploadStatus::Connected, false};
    if (isConnectRefusal(result))
        return {UploadStatus::ConnectError, true};
    if (result == HostKeyNotTrusted)
        return {UploadStatus::HostKeyError, true, true};
    if (result == NoCommonAlgorithm)
        return {UploadStatus::AlgorithmError, true, true};
    if (result == NoUsableLogin)
        return {UploadStatus::LoginMethodError, true, true};
    if (result == SecondFactorAsked)
        return {UploadStatus::SecondFactorError, true, true};
    if (result == SocketNotOpened)
        return {UploadStatus::SocketOpenError, true};
    if (result == ConnectTimedOut)
        return {UploadStatus::TimedOut, true};
    if (isSocketError(result))
        return {UploadStatus::WinsockError, true};
    return {};
}

} // namespace Kakiva
