#pragma once

#include "publish/ftp/FtpSocketWait.h"

#include <QByteArray>

class QSslSocket;

namespace Kakiva {

// How a TLS data connection ended once we had sent our last byte.
enum class TlsDataEnd
{
    Clean,        // our close alert went out; the server answered with its own, then ended
    Reset,        // the server reset the connection
    NoCloseAlert, // the server ended without its close alert, or before ours
    Unfinished,   // our bytes or our close did not get out, or the server did not end in time
};

// Ends a TLS data connection without losing bytes: waits until every encrypted byte is out,
// reads what the server sent (unread bytes at close make the system reset the connection, and
// a server may then throw away the end of the file), closes with the TLS close alert and waits
// for the server's end. Only the server's close alert says that it read everything: one that
// stopped reading part-way ends with a reset or without the alert, and may still report the
// transfer complete.
TlsDataEnd closeTls(QSslSocket &socket, const FtpWaitLimits &limits);

// Whether the TLS records a server sent after our close end with what its close alert looks
// like from outside: an alert record, or under TLS 1.3, where every record after the
// handshake is disguised as application data, one of a close alert's length.
bool endsWithCloseAlert(const QByteArray &records, bool tls13);

} // namespace Kakiva
