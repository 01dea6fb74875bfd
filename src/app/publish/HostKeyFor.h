#pragma once

#include "app/publish/TrustDialog.h"
#include "publish/client/HostKeyQuestion.h"

class QLabel;

namespace Kakiva {

// "ホスト鍵の確認": asks whether to trust an SSH server's host key that no known-hosts file
// holds. It shows the host, the key type and the SHA-256 fingerprint as OpenSSH prints it,
// and a clear warning when the host is known with another key.
class HostKeyFor : public TrustDialog
{
    Q_OBJECT

public:
    explicit HostKeyFor(const HostKeyQuestion &question, QWidget *parent = nullptr);

    QLabel *KeyLab;
};

} // namespace Kakiva
