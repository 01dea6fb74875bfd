#include "app/site/SiteUrlCheck.h"

#include <QUrl>

namespace Kakiva {

QString siteUrlProblem(const QString &url)
{
    if (url.isEmpty())
        return {};
    if (url.trimmed() != url || url.contains(QLatin1Char(' ')))
        return QStringLiteral("空白を含めないでください。");
    const QUrl parsed(url, QUrl::StrictMode);
    const QString scheme = parsed.scheme().toLower();
    if (!parsed.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return QStringLiteral("http:// か https:// で始まるアドレスを入力してください。");
    if (parsed.host().isEmpty())
        return QStringLiteral("アドレスにホスト名（example.jp など）がありません。");
    if (parsed.hasQuery() || parsed.hasFragment() || !parsed.userInfo().isEmpty())
        return QStringLiteral("? や # やユーザ名を含まない、ページの置き場所のアドレスを"
                              "入力してください。");
    return {};
}

} // namespace Kakiva
