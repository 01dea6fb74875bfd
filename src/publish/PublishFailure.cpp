#include "publish/PublishFailure.h"

#include "publish/FtpResult.h"
#include "publish/UploadStatus.h"

namespace Kakiva::PublishFailure {

namespace {

// Results below this are minus a server's reply code.
constexpr qint16 LowestClientResult = -99;

QString storeReason(qint16 result)
{
    switch (result) {
    case FtpResult::LocalFileMissing:
        return UploadStatus::NoSuchFile;
    case FtpResult::NotConnected:
        return QStringLiteral("接続が切れました");
    case FtpResult::TimedOut:
        return UploadStatus::TimedOut;
    case FtpResult::Cancelled:
        return QStringLiteral("中止しました");
    case FtpResult::BadReply:
        return QStringLiteral("サーバーの応答が読めません");
    case FtpResult::DataConnectionFailed:
        return QStringLiteral("データ接続を開けません");
    case FtpResult::LocalFileUnreadable:
        return QStringLiteral("ファイルを読めません");
    case FtpResult::TransferIncomplete:
        return QStringLiteral("転送が途中で切れました");
    default:
        break;
    }
    if (result < LowestClientResult)
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
