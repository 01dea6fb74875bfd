#include "publish/PublishClient.h"

#include "publish/FtpClient.h"
#include "publish/SftpClient.h"
#include "publish/SftpServerAddress.h"

namespace Kakiva {

std::unique_ptr<PublishClient> makePublishClient(const QString &server)
{
    if (isSftpServer(server))
        return std::make_unique<SftpClient>();
    return std::make_unique<FtpClient>();
}

} // namespace Kakiva
