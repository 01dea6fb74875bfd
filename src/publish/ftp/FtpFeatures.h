#pragma once

#include "publish/ftp/FtpReply.h"

#include <QByteArray>

namespace Kakiva {

// What a server's FEAT reply offers that a listing and a check of the site can use.
struct FtpFeatures
{
    bool mlsd = false;         // "MLST ..." (MLSD comes with it)
    bool hashSha256 = false;   // "HASH ...SHA-256..."
    bool sha256Chosen = false; // SHA-256 is HASH's algorithm already (marked "*")
    // "LIST -a" is taken, until the server refuses it (some read "-a" as a file name).
    bool listOptions = true;
};

// A refusal of FEAT offers nothing.
FtpFeatures parseFeatures(const FtpReply &reply);

// The digest of a reply to HASH ("213 SHA-256 0-512 <hex> name", or the same without the range
// or the name, or "213 <hex>"): empty for any other reply, another algorithm, a range that does
// not start at the file's start, or hex that is no SHA-256.
QByteArray parseHashReply(const FtpReply &reply);

} // namespace Kakiva
