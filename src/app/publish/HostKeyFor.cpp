#include "app/publish/HostKeyFor.h"

#include <QStringList>

namespace Kakiva {

namespace {

QString details(const HostKeyQuestion &question)
{
    const QStringList lines{
        QStringLiteral("ホスト: %1 (ポート %2)").arg(question.host).arg(question.port),
        QStringLiteral("鍵の種類: %1").arg(question.keyType),
        QStringLiteral("指紋: %1").arg(question.fingerprint),
    };
    return lines.join(QLatin1Char('\n'));
}

} // namespace

HostKeyFor::HostKeyFor(const HostKeyQuestion &question, QWidget *parent)
    : TrustDialog(
          {QStringLiteral("HostKeyFor"), QStringLiteral("ホスト鍵の確認"),
           QStringLiteral("警告: このサーバーのホスト鍵は、前に信頼したものから変わっています。\n"
                          "なりすましの恐れがあります。心当たりがなければ信頼しないでください。"),
           QStringLiteral("このサーバーが示したホスト鍵は、まだ信頼されていません。\n"
                          "指紋をサーバーの管理者が示すものと比べてください。信頼すると、\n"
                          "次からはこの鍵を持つこのサーバーに確認なしで接続します。"),
           QStringLiteral("KeyLab"), details(question), question.changed},
          parent),
      KeyLab(detailsLabel())
{
}

} // namespace Kakiva
