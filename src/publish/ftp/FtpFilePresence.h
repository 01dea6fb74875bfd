#pragma once

#include "publish/ftp/FtpStatus.h"

#include <QByteArray>

namespace Kakiva {

struct FtpSession;

enum class FtpFilePresence
{
    There,
    Gone,
    Unknown, // the server offered no way to tell
};

// Asks the server whether name is a file of the current remote directory, without a data
// connection: SIZE (in binary type, which some servers require of it), MLST where SIZE is
// not offered, and the listing STAT gives on the control connection where neither is. A
// server that offers none of them leaves it Unknown. Ok, or why the conversation failed.
FtpStatus askFilePresence(FtpSession &session, const QByteArray &name, FtpFilePresence *presence);

} // namespace Kakiva
