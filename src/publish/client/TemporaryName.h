#pragma once

#include <QString>

namespace Kakiva {

// Whether name is one Kakiva alone gives a file while it is being written on a server, before
// it replaces a page: ".kakiva-" ... ".tmp", or the ".<page>.upload" of earlier SFTP uploads.
// Such a file left behind is Kakiva's own and may be removed.
bool isKakivaTemporary(const QString &name);

} // namespace Kakiva
