#pragma once

#include <QString>

namespace Kakiva {

// The remote path for name seen from directory: name itself when it starts with "/", else
// the two joined with "/". An empty directory is the login directory, which the server
// resolves relative paths against; an empty name stays in the directory ("."). "." and ".."
// are resolved as written, never by the server.
QString sftpRemotePath(const QString &directory, const QString &name);

// The hidden name a file is written under before it replaces name.
QString sftpTemporaryName(const QString &name);

} // namespace Kakiva
