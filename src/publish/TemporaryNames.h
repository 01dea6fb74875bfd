#pragma once

#include <QString>

namespace Kakiva {

// The names a page is stored under before it replaces the old one: ".kakiva-<tag>-<n>.tmp",
// hidden, never a page's name (no page starts with a dot), and recognisably ours. One tag per
// upload, so two uploads never write the same temporary.
QString newUploadTag();
QString temporaryName(const QString &tag, int index);
// Whether name (without a directory) is one temporaryName makes.
bool isTemporaryName(const QString &name);
// Whether name is any file Kakiva leaves on a server while it writes a page: a temporaryName,
// or the ".<page>.upload" of SFTP uploads. Such a file left behind is Kakiva's own and may be
// removed.
bool isKakivaTemporary(const QString &name);

} // namespace Kakiva
