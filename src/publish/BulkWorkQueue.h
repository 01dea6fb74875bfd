#pragma once

#include "publish/SiteInventory.h"

#include <QList>
#include <QMutex>
#include <QString>

#include <optional>

namespace Kakiva {

// The files of one bulk publish, shared by its sessions. A session keeps to one directory
// while that has files, so it changes directory once per directory; a session that runs out
// takes a directory nobody has begun, and at the end half the files left in the busiest
// one, so every session stays busy to the last file.
class BulkWorkQueue
{
public:
    explicit BulkWorkQueue(const QList<SiteFile> &files);

    // The next file for session, or nullopt when no file is left for it.
    std::optional<SiteFile> take(int session);
    // A file a session took and could not send, for whichever session asks next.
    void putBack(const SiteFile &file);
    // Leaves the files session had begun to the others (it ended early).
    void release(int session);
    int pending() const;

private:
    struct Group
    {
        QString directory;
        QList<SiteFile> files;
        int owner = -1;
    };

    qsizetype groupOf(int session) const;
    qsizetype unownedGroup() const;
    qsizetype splitBusiestFor(int session);

    mutable QMutex m_mutex;
    QList<Group> m_groups;
};

} // namespace Kakiva
