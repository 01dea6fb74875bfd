#pragma once

#include <QString>

namespace Kakiva {

// The texts the upload window shows, one per stage.
namespace UploadStatus {
inline const QString Uploading = QStringLiteral("アップロード中");
inline const QString Connected = QStringLiteral("接続成功");
inline const QString ConnectError = QStringLiteral("接続エラー");
inline const QString SocketOpenError = QStringLiteral("ソケットオープンエラー");
inline const QString TimedOut = QStringLiteral("タイムアウト");
inline const QString WinsockError = QStringLiteral("Winsock Error");
inline const QString DirectoryChanged = QStringLiteral("ディレクトリ移動");
inline const QString Sent = QStringLiteral("アップ成功");
inline const QString NoSuchFile = QStringLiteral("該当ファイルなし");
inline const QString Error = QStringLiteral("エラー");
inline const QString CertificateError = QStringLiteral("証明書エラー");
inline const QString HostKeyError = QStringLiteral("ホスト鍵エラー");
inline const QString AlgorithmError = QStringLiteral("暗号方式エラー");
inline const QString LoginMethodError = QStringLiteral("認証方式エラー");
inline const QString SecondFactorError = QStringLiteral("二段階認証エラー");
} // namespace UploadStatus

// How the upload reads a Connect result.
struct ConnectOutcome
{
    QString status; // empty: the result is not classed and the text stays as it is
    bool failed = false;
    bool final = false; // retrying cannot help until the server or the settings change
};
ConnectOutcome classifyConnectResult(qint16 result);

} // namespace Kakiva
