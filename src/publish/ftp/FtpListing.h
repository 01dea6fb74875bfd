#pragma once

#include "publish/client/RemoteEntry.h"

#include <QByteArray>
#include <QList>

#include <optional>

namespace Kakiva {

enum class FtpListingFormat
{
    Mlsd, // "type=file;size=512;modify=...; 17.html"
    List  // the Unix "ls -l" lines nearly every server gives, or the DOS style of a few
};

// One line of a listing as a file or a directory of the directory listed; nothing for a line
// that is none (the directory itself or its parent, a link, a "total" line, garbage) or
// whose name is no plain name. A LIST line whose size cannot be read gives size -1.
std::optional<RemoteEntry> parseMlsdLine(const QByteArray &line);
std::optional<RemoteEntry> parseListLine(const QByteArray &line);

// Every entry of a listing's bytes (lines ended by CR LF or LF), at most
// RemoteListing::MaxEntries, each name once (a server that lists one twice is believed the
// first time).
QList<RemoteEntry> parseFtpListing(const QByteArray &bytes, FtpListingFormat format);

} // namespace Kakiva
