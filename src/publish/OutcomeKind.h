#pragma once

namespace Kakiva {

// What a step of publishing came to, as the windows tell it to the user (the wording is
// theirs). Each kind means one thing; several may read the same to the user.
enum class OutcomeKind
{
    None, // nothing to tell: a result outside the classed values, or no failure

    // The stages of an upload.
    Uploading,        // under way; after a page, more to come
    Connected,        // logged in
    DirectoryChanged, // one "CWD " took us there
    Sent,             // the last page is confirmed
    ReplacedInPlace,  // this server takes no temporaries: pages are stored over the old ones

    // Connect.
    ConnectFailed,          // the server answered, but no session came of it
    SocketNotOpened,        // no usable server setting, host not found, connection refused
    TimedOut,               // no answer in time (also after connecting)
    NetworkError,           // the connection failed in the network, for a reason not named here
    CertificateNotAccepted, // refused by the user, or one the TLS handshake could not use
    HostKeyNotTrusted,
    NoCommonAlgorithm,  // no key exchange, host key or cipher in common
    NoUsableLogin,      // the server offers no login the program can give
    SecondFactorAsked,  // it asks for more than the password
    TlsHandshakeFailed, // the server refused TLS or speaks none
    TlsTooOld,          // no TLS version in common: the server's are too old

    // The password.
    NoPassword,         // the settings point at the keyring, which no longer holds it
    KeyringUnavailable, // the keyring refused or is not there
    KeyringTimedOut,    // the keyring did not answer

    // A command or a file after the login.
    LocalFileMissing,
    LocalFileUnreadable,
    SessionLost, // the session had ended
    Cancelled,
    BadReply,             // the server's answer broke the protocol
    DataConnectionFailed, // FTP's data connection did not open
    TransferIncomplete,   // the connection broke during the file
    ServerRefused,        // the server's refusing reply code travels beside
    DirectoryUnreachable, // a remote directory could be neither entered nor made
    StoredIncomplete,     // the server holds less (or other) than was sent; no page replaced
    ReplaceRefused,       // the server would not put a stored file in place of its page
    Failed,               // anything else; stays last, so every kind lies below it
};

} // namespace Kakiva
