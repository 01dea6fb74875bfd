#pragma once

#include <QString>

namespace Kakiva {

struct ServerAddress;
struct FtpSession;

// Opens the control connection, takes the greeting and logs in. Returns Connect's result
// (FtpResult.h); on anything but Connected the connection is gone.
qint16 openAndLogIn(FtpSession &session, const ServerAddress &address, const QString &user,
                    const QString &password);

} // namespace Kakiva
