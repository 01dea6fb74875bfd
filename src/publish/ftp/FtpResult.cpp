#include "publish/ftp/FtpResult.h"

#include <limits>

namespace Kakiva::FtpResult::Connect {

qint16 socketErrorResult(QAbstractSocket::SocketError error)
{
    constexpr int top = std::numeric_limits<qint16>::max();
    const int code = static_cast<int>(error);
    if (code < 0)
        return top;
    return static_cast<qint16>(qMin(SocketErrorBase + code, top));
}

} // namespace Kakiva::FtpResult::Connect
