#include "publish/ServerRemovals.h"

#include "publish/PublishFailure.h"
#include "publish/RemotePaths.h"
#include "publish/ServerRecord.h"
#include "publish/SiteInventory.h"
#include "publish/client/ClientResult.h"
#include "publish/client/PublishClient.h"

#include <QFileInfo>

namespace Kakiva {

namespace {

struct Session
{
    PublishClient &client;
    ServerRecord &record;
    const QString &root;
    std::optional<QString> &current;

    // The first digit of the "CWD " reply (2 entered), or a negative result.
    qint16 enter(const QString &directory)
    {
        const QString argument = remoteDirectoryArgument(root, current, directory);
        const qint16 result = argument.isEmpty()
                                  ? ClientResult::CommandDone
                                  : client.Command(QStringLiteral("CWD ") + argument);
        if (result == ClientResult::CommandDone)
            current = directory;
        return result;
    }
};

// The lists that link down to remotePath: the year list, its year's and its month's.
QStringList listsAbove(const QString &remotePath)
{
    QStringList lists{QStringLiteral("year.html")};
    for (const QString &directory : remoteDirectoryChain(remoteDirectoryOf(remotePath)))
        lists.append(directory + QStringLiteral("/index.html"));
    return lists;
}

QString sendList(Session &session, const QString &remotePath)
{
    const QString localPath = localPathOf(remotePath);
    const QByteArray digest = fileDigest(localPath);
    if (digest.isEmpty() || session.record.holds(remotePath, digest))
        return {}; // gone with its folder, or the server has it as it is
    const QString directory = remoteDirectoryOf(remotePath);
    if (session.enter(directory) != ClientResult::CommandDone)
        return PublishFailure::ofDirectory(remotePathBelow(session.root, directory));
    const qint16 result = session.client.PutFile(localPath, QString());
    if (result != ClientResult::Stored)
        return PublishFailure::ofStore(remotePath, result);
    QString error;
    return session.record.confirm(remotePath, digest, &error) ? QString()
                                                              : PublishFailure::ofRecord(error);
}

QString remove(Session &session, const QString &remotePath)
{
    const qint16 entered = session.enter(remoteDirectoryOf(remotePath));
    if (entered < 0)
        return PublishFailure::ofStore(remotePath, entered);
    // A directory that cannot be entered is gone, and the page with it.
    const qint16 result = entered == ClientResult::CommandDone
                              ? session.client.RemoveFile(QFileInfo(remotePath).fileName())
                              : ClientResult::NoSuchRemoteFile;
    if (result != ClientResult::Removed && result != ClientResult::NoSuchRemoteFile)
        return PublishFailure::ofStore(remotePath, result);
    QString error;
    return session.record.confirmRemoval(remotePath, &error) ? QString()
                                                             : PublishFailure::ofRecord(error);
}

} // namespace

QString carryOutRemovals(PublishClient &client, ServerRecord &record, const QString &root,
                         std::optional<QString> &current)
{
    const QStringList removals = pendingRemovals(record);
    QStringList lists;
    for (const QString &path : removals) {
        for (const QString &list : listsAbove(path)) {
            if (!lists.contains(list) && !removals.contains(list))
                lists.append(list);
        }
    }
    Session session{client, record, root, current};
    for (const QString &list : lists) {
        if (const QString failure = sendList(session, list); !failure.isEmpty())
            return failure;
    }
    for (const QString &path : removals) {
        if (const QString failure = remove(session, path); !failure.isEmpty())
            return failure;
    }
    return {};
}

} // namespace Kakiva
