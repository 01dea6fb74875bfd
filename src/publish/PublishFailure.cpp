#include "publish/PublishFailure.h"

#include "publish/ConnectOutcome.h"
#include "publish/client/ClientResult.h"

namespace Kakiva {

namespace {

OutcomeKind storeFailureKind(qint16 result)
{
    switch (result) {
    case ClientResult::PutFile::LocalFileMissing:
        return OutcomeKind::LocalFileMissing;
    case ClientResult::NotConnected:
        return OutcomeKind::SessionLost;
    case ClientResult::TimedOut:
    case ClientResult::Unanswered:
        return OutcomeKind::TimedOut;
    case ClientResult::Cancelled:
        return OutcomeKind::Cancelled;
    case ClientResult::BadReply:
    case ClientResult::RepliesOutOfOrder:
        return OutcomeKind::BadReply;
    case ClientResult::DataConnectionFailed:
        return OutcomeKind::DataConnectionFailed;
    case ClientResult::LocalFileUnreadable:
        return OutcomeKind::LocalFileUnreadable;
    case ClientResult::TransferIncomplete:
        return OutcomeKind::TransferIncomplete;
    case ClientResult::StoredDiffers:
    case ClientResult::Withheld:
        return OutcomeKind::StoredIncomplete;
    case ClientResult::ReplaceRefused:
        return OutcomeKind::ReplaceRefused;
    default:
        break;
    }
    return ClientResult::isServerRefusal(result) ? OutcomeKind::ServerRefused : OutcomeKind::Failed;
}

} // namespace

PublishFailure PublishFailure::ofConnect(qint16 result)
{
    const OutcomeKind kind = classifyConnectResult(result).kind;
    const bool classed = kind != OutcomeKind::None && kind != OutcomeKind::Connected;
    return PublishFailure(classed ? kind : OutcomeKind::ConnectFailed);
}

PublishFailure PublishFailure::ofDirectory(const QString &path)
{
    return PublishFailure(OutcomeKind::DirectoryUnreachable, path);
}

PublishFailure PublishFailure::ofStore(const QString &remotePath, qint16 result)
{
    const OutcomeKind kind = storeFailureKind(result);
    return PublishFailure(kind, remotePath, kind == OutcomeKind::ServerRefused ? -result : 0);
}

} // namespace Kakiva
