#pragma once

namespace Kakiva {

// How a wait on a socket, or an exchange on the control connection, ended. The socket waits
// return Ok, Pending, TimedOut, Cancelled, Interrupted or Failed; the control connection
// tells a server that closed (Closed) from a broken socket (Failed), and adds the states of
// the conversation (NotConnected, BadReply).
enum class FtpStatus
{
    Ok,           // what was waited for happened
    Pending,      // one slice passed without it (only from writeSlice)
    NotConnected, // there was no connection to begin with
    TimedOut,     // the deadline passed
    Cancelled,    // the cancel flag was raised
    Interrupted,  // the caller's condition ended the wait; the connection stays open
    Closed,       // the server ended the connection
    BadReply,     // the bytes were no reply, or broke the size bounds
    Failed,       // the connection failed; the socket's error() tells why
};

} // namespace Kakiva
