#pragma once

#include <QSet>
#include <QString>

namespace Kakiva {

// Why name cannot be a member of a backup, or nothing when it can: it must be a plain
// relative path below the archive (no absolute name, no "..", "." or empty parts, no
// backslash) without control characters, which would end up in page paths and server
// commands. A folder's name may end in '/'.
QString memberNameFault(const QString &name);

// The shape the members of one archive make together, so that a restore can never stop
// half-way: no name twice (the copy checked and the copy written could differ), and no
// file where another member needs a folder, nor a folder where a member is a file.
class MemberLayout
{
public:
    // Why the member cannot join the others, or nothing when it can.
    QString add(const QString &name, bool isFolder);

private:
    QSet<QString> m_files;
    QSet<QString> m_folders;
};

} // namespace Kakiva
