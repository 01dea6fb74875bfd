#pragma once

#include <QByteArray>

namespace Kakiva {

// Which connection a restore leaves in the settings: the one in use today (the server,
// user, remote directory, where the password lives, the password and the certificate pin),
// or the one the backup was made with.
enum class RestoredConnection
{
    Current,
    FromBackup,
};

// The bytes of Kakiva.ini after a restore: the backup's settings with today's backup folder
// and, unless the user asked for the backup's, today's connection put back. A password is
// never left beside a server and user it was not stored for: with the backup's connection,
// today's password in the file stays only when the backup names the same server and user.
// Where the password lives (PasswordStore) is today's whenever today says, so a password
// moved into the keyring is looked for there, under the server and user it was stored for.
QByteArray mergeRestoredSettings(const QByteArray &current, const QByteArray &restored,
                                 RestoredConnection connection = RestoredConnection::Current);

} // namespace Kakiva
