#include "app/CertFor.h"

#include "app/DialogControls.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

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

QString details(const FtpCertificateQuestion &question)
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

CertFor::CertFor(const FtpCertificateQuestion &question, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("CertFor"));
    setWindowTitle(QStringLiteral("証明書の確認"));
    setWindowFlags(FixedDialogFlags);
    setModal(true);

    // Line breaks of their own: a word-wrapped label in a window of fixed size gets cut off.
    WarnLab = new QLabel(
        QStringLiteral("警告: このサーバーの証明書は、前に信頼したものから変わっています。\n"
                       "心当たりがなければ信頼しないでください。"),
        this);
    WarnLab->setObjectName(QStringLiteral("WarnLab"));
    WarnLab->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold;"));
    WarnLab->setVisible(question.changed);

    auto *intro = new QLabel(
        QStringLiteral("このサーバーの証明書は確認できませんでした。\n"
                       "信頼すると、次からはこの証明書を持つこのサーバーに確認なしで接続します。"),
        this);

    CertLab = new QLabel(details(question), this);
    CertLab->setObjectName(QStringLiteral("CertLab"));
    CertLab->setTextInteractionFlags(Qt::TextSelectableByMouse);

    TrustCom =
        makeDialogButton(QStringLiteral("TrustCom"), QStringLiteral("信頼する(&T)"), QRect(), this);
    DistrustCom = makeDialogButton(QStringLiteral("DistrustCom"), QStringLiteral("信頼しない"),
                                   QRect(), this);
    connect(TrustCom, &QPushButton::clicked, this, &QDialog::accept);
    connect(DistrustCom, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(TrustCom);
    buttons->addWidget(DistrustCom);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(WarnLab);
    layout->addWidget(intro);
    layout->addWidget(CertLab);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setTabOrder(DistrustCom, TrustCom);
    DistrustCom->setFocus();
}

} // namespace Kakiva
