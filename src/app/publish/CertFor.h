#pragma once

#include "app/publish/TrustDialog.h"
#include "publish/client/CertificateQuestion.h"

class QLabel;

namespace Kakiva {

// "証明書の確認": asks whether to trust a server certificate that did not verify. It shows
// the server, what is wrong, subject, issuer, validity and SHA-256 fingerprint, and a clear
// warning when the certificate differs from the one trusted before.
class CertFor : public TrustDialog
{
    Q_OBJECT

public:
    explicit CertFor(const CertificateQuestion &question, QWidget *parent = nullptr);

    QLabel *CertLab;
};

} // namespace Kakiva
