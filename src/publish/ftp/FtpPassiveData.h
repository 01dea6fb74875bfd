#pragma once

#include <QtGlobal>

#include <optional>

class QSslSocket;

namespace Kakiva {

struct FtpSession;

// Asks the server for a passive port (EPSV, or PASV from the first time a server refuses
// EPSV) and connects data to it, always at the control connection's address; under TLS the
// handshake is begun, resuming the control connection's TLS session. Nothing once connected,
// else the result value of the failure (FtpResult.h).
std::optional<qint16> openPassiveData(FtpSession &session, QSslSocket &data);

} // namespace Kakiva
