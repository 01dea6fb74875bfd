#pragma once

#include <QByteArray>

class QFile;

namespace Kakiva {

struct FtpSession;

// Stores an open local file under name in the current remote directory: TYPE I once per
// session, a passive data connection, STOR, the bytes, and the server's verdict. Returns
// PutFile's result (FtpResult.h).
qint16 storeFile(FtpSession &session, const QByteArray &name, QFile &file);

} // namespace Kakiva
