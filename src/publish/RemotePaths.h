#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace Kakiva {

// The argument of one "CWD " or "MKD " that reaches target (a directory below the remote
// directory root, "" for root itself) from where the session is: current is a directory
// below root, or nullopt while the session is still in its login directory. An absolute
// root gives an absolute path; otherwise the path is relative, climbing with ".." from
// current, so every change of directory is one command. Empty when nothing needs changing.
QString remoteDirectoryArgument(const QString &root, const std::optional<QString> &current,
                                const QString &target);

// path below the remote directory root, as the server names it: "www/2004/08".
QString remotePathBelow(const QString &root, const QString &path);

// The directories that must exist for target to exist, outermost first and target last:
// "2004", "2004/08" for "2004/08".
QStringList remoteDirectoryChain(const QString &target);

} // namespace Kakiva
