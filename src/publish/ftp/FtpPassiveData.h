#pragma once

#include <QByteArray>
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

// The same in steps, for a caller that puts the transfer command on the wire right behind the
// passive request, sparing a round trip: the request the server is known to take ("EPSV" or
// "PASV"; empty until one has been taken), the reading of its answer, and the connection.
QByteArray knownPassiveRequest(const FtpSession &session);
std::optional<qint16> readPassivePort(FtpSession &session, quint16 *port);
std::optional<qint16> connectPassiveData(FtpSession &session, QSslSocket &data, quint16 port);

} // namespace Kakiva
