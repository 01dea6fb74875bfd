#pragma once

#include "publish/FtpTls.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace Kakiva {

// "証明書の確認": asks whether to trust a server certificate that did not verify. It shows
// the server, what is wrong, subject, issuer, validity and SHA-256 fingerprint, and a clear
// warning when the certificate differs from the one trusted before. The focus starts on
// "信頼しない", which is also what Escape and the frame mean; Alt+T trusts.
class CertFor : public QDialog
{
    Q_OBJECT

public:
    explicit CertFor(const FtpCertificateQuestion &question, QWidget *parent = nullptr);

    QLabel *WarnLab; // shown only when the certificate has changed
    QLabel *CertLab;
    QPushButton *TrustCom;
    QPushButton *DistrustCom;
};

} // namespace Kakiva
