#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace Kakiva {

// Called with each file of the archive, in archive order, once its bytes were read whole
// and found intact. Returning false stops the reading (the visitor says why in *error).
using MemberVisitor =
    std::function<bool(const QString &name, const QByteArray &bytes, QString *error)>;

// Reads the zip archive at path to its end. Refused, with the reason in *error: a file
// that is no zip archive or is cut short or damaged, an encrypted member, a member that
// is a link, a device or anything else but a regular file or a folder, a name that is not
// UTF-8 or not a plain relative path below the archive (absolute, "..", "." or empty
// parts, backslashes), and members or a whole larger than any diary's. Folders are
// passed over.
bool readZipArchive(const QString &path, const MemberVisitor &visit, QString *error);

} // namespace Kakiva
