#pragma once

#include "publish/client/PublishClient.h"

#include <QList>

namespace Kakiva {

struct FtpSession;

// CheckFiles over FTP: "HASH" (SHA-256) of every temporary where the server tells digests,
// else "SIZE" (binary type, so the size is the bytes stored), all together unless way says
// otherwise; a file HASH tells nothing of is asked its SIZE. Only ever asked once every store
// has had its final reply: some servers answer SIZE from a file still being written.
QList<qint16> checkStoredFiles(FtpSession &session, const QList<AsideFile> &files, AsideWay way);

// RenameFiles over FTP: "RNFR temporary" and "RNTO page" for every file, all the pairs
// together unless way says otherwise, each pair preceded by "DELE page" with way.removeFirst.
QList<qint16> renameStored(FtpSession &session, const QList<AsideFile> &files, AsideWay way);

} // namespace Kakiva
