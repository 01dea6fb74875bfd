#include "publish/BulkWorkQueue.h"

#include <QMutexLocker>

namespace Kakiva {

BulkWorkQueue::BulkWorkQueue(const QList<SiteFile> &files)
{
    for (const SiteFile &file : files) {
        const QString directory = remoteDirectoryOf(file.remotePath);
        if (m_groups.isEmpty() || m_groups.last().directory != directory)
            m_groups.append({directory, {}, -1});
        m_groups.last().files.append(file);
    }
}

std::optional<SiteFile> BulkWorkQueue::take(int session)
{
    const QMutexLocker locker(&m_mutex);
    qsizetype index = groupOf(session);
    if (index < 0) {
        index = unownedGroup();
        if (index < 0)
            index = splitBusiestFor(session);
        if (index < 0)
            return std::nullopt;
        m_groups[index].owner = session;
    }
    Group &group = m_groups[index];
    const SiteFile file = group.files.takeFirst();
    if (group.files.isEmpty())
        m_groups.removeAt(index);
    return file;
}

void BulkWorkQueue::putBack(const SiteFile &file)
{
    const QMutexLocker locker(&m_mutex);
    m_groups.prepend({remoteDirectoryOf(file.remotePath), {file}, -1});
}

void BulkWorkQueue::release(int session)
{
    const QMutexLocker locker(&m_mutex);
    for (Group &group : m_groups) {
        if (group.owner == session)
            group.owner = -1;
    }
}

int BulkWorkQueue::pending() const
{
    const QMutexLocker locker(&m_mutex);
    qsizetype count = 0;
    for (const Group &group : m_groups)
        count += group.files.size();
    return static_cast<int>(count);
}

qsizetype BulkWorkQueue::groupOf(int session) const
{
    for (qsizetype i = 0; i < m_groups.size(); ++i) {
        if (m_groups.at(i).owner == session)
            return i;
    }
    return -1;
}

qsizetype BulkWorkQueue::unownedGroup() const
{
    for (qsizetype i = 0; i < m_groups.size(); ++i) {
        if (m_groups.at(i).owner < 0)
            return i;
    }
    return -1;
}

// The owner keeps the front half, the one it is working through; the back half becomes a
// group of the caller's. A group of one file is left to its owner.
qsizetype BulkWorkQueue::splitBusiestFor(int session)
{
    qsizetype busiest = -1;
    for (qsizetype i = 0; i < m_groups.size(); ++i) {
        if (busiest < 0 || m_groups.at(i).files.size() > m_groups.at(busiest).files.size())
            busiest = i;
    }
    if (busiest < 0 || m_groups.at(busiest).files.size() < 2)
        return -1;
    Group &from = m_groups[busiest];
    const qsizetype keep = from.files.size() / 2;
    Group taken{from.directory, from.files.mid(keep), session};
    from.files.resize(keep);
    m_groups.append(taken);
    return m_groups.size() - 1;
}

} // namespace Kakiva
