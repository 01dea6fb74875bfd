#include "publish/UploadStatus.h"

#include "publish/SftpResult.h"

namespace Kakiva {

ConnectOutcome classifyConnectResult(qint16 result)
{
    if (result == 0)
        return {UploadStatus::Connected, false};
    if (result >= 1 && result <= 5)
        return {UploadStatus::ConnectError, true};
    if (result == SftpResult::HostKeyNotTrusted)
        return {UploadStatus::HostKeyError, true};
    if (result == -1)
        return {UploadStatus::SocketOpenError, true};
    if (result == -2)
        return {UploadStatus::TimedOut, true};
    if (result >= 10000)
        return {UploadStatus::WinsockError, true};
    return {};
}

} // namespace Kakiva
