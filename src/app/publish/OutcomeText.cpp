#include "app/publish/OutcomeText.h"

namespace Kakiva::OutcomeText {

QString of(OutcomeKind kind)
{
    switch (kind) {
    case OutcomeKind::None:
        break;
    case OutcomeKind::Uploading:
        return QStringLiteral("アップロード中");
    case OutcomeKind::Connected:
        return QStringLiteral("接続成功");
    case OutcomeKind::DirectoryChanged:
        return QStringLiteral("ディレクトリ移動");
    case OutcomeKind::Sent:
        return QStringLiteral("アップ成功");
    case OutcomeKind::ReplacedInPlace:
        return QStringLiteral("このサーバーではページを直接上書きします");
    case OutcomeKind::ConnectFailed:
        return QStringLiteral("接続エラー");
    case OutcomeKind::SocketNotOpened:
        return QStringLiteral("ソケットオープンエラー");
    case OutcomeKind::TimedOut:
        return QStringLiteral("タイムアウト");
    case OutcomeKind::NetworkError:
        // The window's own words for it, kept as they were, in English.
        return QStringLiteral("Winsock Error");
    case OutcomeKind::CertificateNotAccepted:
        return QStringLiteral("証明書エラー");
    case OutcomeKind::HostKeyNotTrusted:
        return QStringLiteral("ホスト鍵エラー");
    case OutcomeKind::NoCommonAlgorithm:
        return QStringLiteral("暗号方式エラー");
    case OutcomeKind::NoUsableLogin:
        return QStringLiteral("認証方式エラー");
    case OutcomeKind::SecondFactorAsked:
        return QStringLiteral("二段階認証エラー");
    case OutcomeKind::TlsHandshakeFailed:
        return QStringLiteral("TLS接続エラー");
    case OutcomeKind::TlsTooOld:
        return QStringLiteral("サーバーのTLSが古い");
    case OutcomeKind::NoPassword:
        return QStringLiteral("パスワード未登録");
    case OutcomeKind::KeyringUnavailable:
        return QStringLiteral("キーリングエラー");
    case OutcomeKind::KeyringTimedOut:
        return QStringLiteral("キーリング応答なし");
    case OutcomeKind::LocalFileMissing:
        return QStringLiteral("該当ファイルなし");
    case OutcomeKind::LocalFileUnreadable:
        return QStringLiteral("ファイルを読めません");
    case OutcomeKind::SessionLost:
        return QStringLiteral("接続が切れました");
    case OutcomeKind::Cancelled:
        return QStringLiteral("中止しました");
    case OutcomeKind::BadReply:
        return QStringLiteral("サーバーの応答が読めません");
    case OutcomeKind::DataConnectionFailed:
        return QStringLiteral("データ接続を開けません");
    case OutcomeKind::TransferIncomplete:
        return QStringLiteral("転送が途中で切れました");
    case OutcomeKind::ServerRefused:
        return QStringLiteral("サーバーが拒否しました");
    case OutcomeKind::DirectoryUnreachable:
        return QStringLiteral("ディレクトリに移動できません");
    case OutcomeKind::StoredIncomplete:
        return QStringLiteral("サーバーに保存されたファイルが不完全です");
    case OutcomeKind::ReplaceRefused:
        return QStringLiteral("サーバーがファイルの置き換えを拒否しました");
    case OutcomeKind::Failed:
        return QStringLiteral("エラー");
    }
    return {};
}

QString of(const PublishFailure &failure)
{
    QString text = of(failure.kind);
    if (failure.kind == OutcomeKind::ServerRefused)
        text += QStringLiteral(" (%1)").arg(failure.serverCode);
    if (!failure.concernsPath)
        return text;
    if (failure.kind == OutcomeKind::DirectoryUnreachable)
        return text + QStringLiteral(": ") + failure.remotePath;
    return failure.remotePath + QStringLiteral(": ") + text;
}

QString ofRecordError(const QString &error)
{
    return QStringLiteral("送信の記録を保存できません: ") + error;
}

} // namespace Kakiva::OutcomeText
