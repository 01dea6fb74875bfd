#pragma once

#include "publish/client/PublishClient.h"

#include <QString>

#include <memory>

namespace Kakiva {

// The client the server setting calls for: SFTP for "sftp://...", FTP (plain or over TLS)
// for anything else. The one place that knows both protocols.
std::unique_ptr<PublishClient> makePublishClient(const QString &server);

} // namespace Kakiva
