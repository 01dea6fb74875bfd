#include "app/publish/CertFor.h"

#include <QDateTime>
#include <QLocale>

namespace Kakiva {

namespace {

QString names(const QSslCertificate &certificate, bool issuer)
{
    const QStringList parts = issuer ? certificate.issuerDisplayName().split('\n')
                                     : certificate.subjectDisplayName().split('\n');
    return parts.join(QStringLiteral(", "));
}

// "ab:12:..." in groups of two, which is how fingerprints are usually shown and compared.
QString groupedFingerprint(const QSslCertificate &certificate)
{
    const QString hex = certificateFingerprint(certificate).toUpper();
    QStringList pairs;
    for (qsizetype i = 0; i < hex.size(); i += 2)
        pairs.append(hex.mid(i, 2));
    return pairs.join(QLatin1Char(':'));
}

QString date(const QDateTime &when)
{
    return when.toLocalTime().toString(QStringLiteral("yyyy/MM/dd HH:mm"));
}

QString details(const CertificateQuestion &question)
{
    const QSslCertificate &certificate = question.certificate;
    const QStringList lines{
        QStringLiteral("サーバー: %1").arg(question.server),
        QStringLiteral("問題: %1").arg(question.problems.join(QStringLiteral(" / "))),
        QStringLiteral("発行先: %1").arg(names(certificate, false)),
        QStringLiteral("発行者: %1").arg(names(certificate, true)),
        QStringLiteral("有効期間: %1 ～ %2")
            .arg(date(certificate.effectiveDate()), date(certificate.expiryDate())),
        QStringLiteral("SHA-256: %1").arg(groupedFingerprint(certificate)),
    };
    return lines.join(QLatin1Char('\n'));
}

} // namespace

CertFor::CertFor(const CertificateQuestion &question, QWidget *parent)
    : TrustDialog(
          {QStringLiteral("CertFor"), QStringLiteral("証明書の確認"),
           // Line breaks of their own: a word-wrapped label in a window of fixed size gets
           // cut off.
           QStringLiteral("警告: このサーバーの証明書は、前に信頼したものから変わっています。\n"
                          "心当たりがなければ信頼しないでください。"),
           QStringLiteral(
               "このサーバーの証明書は確認できませんでした。\n"
               "信頼すると、次からはこの証明書を持つこのサーバーに確認なしで接続します。"),
           QStringLiteral("CertLab"), details(question), question.changed},
          parent),
      CertLab(detailsLabel())
{
}

} // namespace Kakiva
