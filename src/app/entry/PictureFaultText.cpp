#include "app/entry/PictureFaultText.h"

#include <QDir>

namespace Kakiva {

namespace {

QString reason(PictureFault fault)
{
    switch (fault) {
    case PictureFault::Missing:
        return QStringLiteral("ファイルが見つかりません。");
    case PictureFault::Folder:
        return QStringLiteral("フォルダは挿入できません。画像のファイルを選んでください。");
    case PictureFault::FileTooLarge:
        return QStringLiteral("ファイルが大きすぎます（%1 MB まで）。")
            .arg(MaxPictureFileBytes / (1024 * 1024));
    case PictureFault::Heif:
        return QStringLiteral("HEIC/HEIF 形式の写真は、ここでは読み込めません。\n"
                              "写真のアプリなどで JPEG として保存（書き出し）してから"
                              "挿入してください。スマートフォンの設定で、写真を「互換性優先」"
                              "（JPEG）で撮ることもできます。");
    case PictureFault::NotPicture:
        return QStringLiteral("画像のファイルではないか、読み込めない形式です。\n"
                              "JPEG、PNG、GIF、BMP の画像を挿入できます。");
    case PictureFault::Damaged:
        return QStringLiteral("画像が壊れているか、途中までしかありません。");
    case PictureFault::TooManyPixels:
        return QStringLiteral("画素数が多すぎて読み込めません（%1 万画素まで）。")
            .arg(MaxPicturePixels / 10000);
    case PictureFault::Unreadable:
        return QStringLiteral("ファイルを読み込めませんでした。");
    case PictureFault::NotWritten:
        return QStringLiteral("画像を作成できませんでした。");
    case PictureFault::None:
        break;
    }
    return QString();
}

} // namespace

QString pictureFaultText(const QString &source, const WebPicture &picture)
{
    const QString what = source.isEmpty() ? QStringLiteral("クリップボードの画像")
                                          : QDir::toNativeSeparators(source);
    QString text = QStringLiteral("画像を挿入できませんでした。\n") + what + QStringLiteral("\n") +
                   reason(picture.fault);
    if (!picture.detail.isEmpty() &&
        (picture.fault == PictureFault::Unreadable || picture.fault == PictureFault::NotWritten))
        text += QStringLiteral("\n") + picture.detail;
    return text;
}

} // namespace Kakiva
