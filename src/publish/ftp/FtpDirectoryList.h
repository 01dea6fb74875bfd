#pragma once

#include "publish/client/RemoteEntry.h"

#include <QByteArray>
#include <QList>

namespace Kakiva {

struct FtpSession;

// ListDirectory over an FTP session (PublishClient.h says what it answers). FEAT is asked
// once per login; MLSD where it is offered, else "LIST -a" (dot files are Kakiva's
// temporaries) read as "ls -l" lines, the sizes it leaves out asked with SIZE, all together.
// The listing travels on one passive data connection and is read until the server ends it.
qint16 listFtpDirectory(FtpSession &session, const QByteArray &path, QList<RemoteEntry> *entries);

// FileDigests over an FTP session: "HASH" for each name, all on the wire together, with
// SHA-256 chosen first where the server's own choice is another.
QList<QByteArray> ftpFileDigests(FtpSession &session, const QByteArray &directory,
                                 const QList<QByteArray> &names);

} // namespace Kakiva
