#pragma once

#include <QString>

namespace Kakiva {

// The reasons a publish of many files shows when it stops, one short Japanese line each.
namespace PublishFailure {

// A Connect result that ended the login.
QString ofConnect(qint16 result);
// A "CWD " that could not reach the remote directory path.
QString ofDirectory(const QString &path);
// A PutFile result other than 1 for the file at remotePath.
QString ofStore(const QString &remotePath, qint16 result);
// The record of what the server holds could not be written.
QString ofRecord(const QString &error);

} // namespace PublishFailure

} // namespace Kakiva
