#include "publish/ServerRemovals.h"

#include "platform/AppDir.h"
#include "publish/PublishRun.h"
#include "publish/PublishSession.h"
#include "publish/RemotePaths.h"
#include "publish/SiteInventory.h"
#include "publish/client/ClientResult.h"
#include "publish/client/SessionLog.h"

namespace Kakiva {

namespace {

// The lists that link down to remotePath: the year list, its year's and its month's.
QStringList listsAbove(const QString &remotePath)
{
    QStringList lists{QStringLiteral("year.html")};
    for (const QString &directory : remoteDirectoryChain(remoteDirectoryOf(remotePath)))
        lists.append(directory + QStringLiteral("/index.html"));
    return lists;
}

bool sendList(PublishRun &run, PublishSession &session, const QString &remotePath)
{
    const QString localPath = localPathOf(remotePath);
    const QByteArray digest = fileDigest(localPath);
    if (digest.isEmpty() || run.record().holds(remotePath, digest))
        return true; // gone with its folder, or the server has it as it is
    return session.enter(remoteDirectoryOf(remotePath)) != PublishSession::Entry::Failed &&
           session.store({localPath, remotePath, 0, digest}) == ClientResult::PutFile::Stored;
}

// A removal the program cannot vouch for (a record restored from elsewhere, or edited) is
// never sent: it is forgotten, and the log says which and why.
void dropUntrustedRemovals(ServerRecord &record)
{
    const QStringList untrusted = untrustedRemovals(record);
    if (untrusted.isEmpty())
        return;
    SessionLog log;
    log.open(applicationPath(FtpLogFileName));
    for (const QString &path : untrusted) {
        log.note(QStringLiteral("Removal dropped, not a page this program sent there: ") +
                 path);
        record.discardRemoval(path);
    }
}

} // namespace

bool carryOutRemovals(PublishRun &run, PublishSession &session)
{
    dropUntrustedRemovals(run.record());
    const QStringList removals = pendingRemovals(run.record());
    QStringList lists;
    for (const QString &path : removals) {
        for (const QString &list : listsAbove(path)) {
            if (!lists.contains(list) && !removals.contains(list))
                lists.append(list);
        }
    }
    for (const QString &list : lists) {
        if (!sendList(run, session, list))
            return false;
    }
    for (const QString &path : removals) {
        if (!session.remove(path))
            return false;
    }
    return true;
}

} // namespace Kakiva
