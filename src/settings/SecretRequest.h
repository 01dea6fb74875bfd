#pragma once

#include "settings/SecretStore.h"

#include <QObject>

namespace Kakiva {

// Carries one answer of the keyring out of the keyring's thread. Queued to a context, the
// answer is dropped by Qt itself when the context has gone meanwhile.
class SecretRequest : public QObject
{
    Q_OBJECT

signals:
    void answered(const Kakiva::SecretAnswer &answer);
};

} // namespace Kakiva
