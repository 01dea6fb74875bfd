#include "publish/PublishClientFactory.h"

#include "publish/ftp/FtpClient.h"
#include "publish/sftp/SftpClient.h"
#include "publish/sftp/SftpServerAddress.h"

namespace Kakiva {

std::unique_ptr<PublishClient> makePublishClient(const QString &server)
{
    if (isSftpServer(server))
        return std::make_unique<SftpClient>();
    return std::make_unique<FtpClient>();
}

} // namespace Kakiva
