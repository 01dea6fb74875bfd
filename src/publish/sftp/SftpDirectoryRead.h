#pragma once

#include "publish/client/RemoteEntry.h"

#include <QList>
#include <QString>

namespace Kakiva {

class SessionLog;
class SftpChannel;

// ListDirectory over an SFTP channel (PublishClient.h says what it answers): OPENDIR, then
// two READDIRs and the CLOSE together (a directory of a diary's site fits the first READDIR,
// and the second brings its end), so a directory costs two waits; a larger one is opened
// again and read to its end. path is as the server names it.
qint16 sftpListDirectory(SftpChannel &channel, SessionLog &log, const QString &path,
                         QList<RemoteEntry> *entries);

// The entries of one NAME answer appended to *entries (files and directories with plain
// names, up to RemoteListing::MaxEntries); false when the answer is cut short or malformed.
bool readSftpNames(const QByteArray &body, QList<RemoteEntry> *entries);

} // namespace Kakiva
