#include "publish/PublishFailure.h"

#include "publish/client/ClientResult.h"
#include "publish/UploadStatus.h"

namespace Kakiva::PublishFailure {

namespace {

QString storeReason(qint16 result)
{
    switch (result) {
    case ClientResult::LocalFileMissing:
        return UploadStatus::NoSuchFile;
    case ClientResult::NotConnected:
        return QStringLiteral("接続が切れました");
    case ClientResult::TimedOut:
        return UploadStatus::TimedOut;
    case ClientResult::Cancelled:
        return QStringLiteral("中止しました");
    case ClientResult::BadReply:
        return QStringLiteral("サーバーの応答が読めません");
    case ClientResult::DataConnectionFailed:
        return QStringLiteral("データ接続を開けません");
    case ClientResult::LocalFileUnreadable:
        return QStringLiteral("ファイルを読めません");
    case ClientResult::TransferIncomplete:
        return QStringLiteral("転送が途中で切れました");
    default:
        break;
    }
    if (ClientResult::isServerRefusal(result))
        return QStringLiteral("サーバーが拒否しました (%1)").arg(-result);
    return UploadStatus::Error;
}

} // namespace

QString ofConnect(qint16 result)
{
    const ConnectOutcome outcome = classifyConnectResult(result);
    return outcome.status.isEmpty() ? UploadStatus::ConnectError : outcome.status;
}

QString ofDirectory(const QString &path)
{
    return QStringLiteral("ディレクトリに移動できません: ") + path;
}

QString ofStore(const QString &remotePath, qint16 result)
{
    return remotePath + QStringLiteral(": ") + storeReason(result);
}

QString ofRecord(const QString &error)
{
    return QStringLiteral("送信の記録を保存できません: ") + error;
}

} // namespace Kakiva::PublishFailure
