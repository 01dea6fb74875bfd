#pragma once

#include "publish/ftp/FtpReply.h"

#include <QByteArray>

namespace Kakiva {

// Cuts the control connection's byte stream into replies: single-line ("250 ok") and
// multi-line ("123-first" ... "123 last"), with CR LF or bare LF line ends, in pieces of
// any size. Memory stays bounded whatever the server sends: a line longer than
// MaxLineLength or a reply of more than MaxLines lines ends the parse with an error, and
// the connection is then no longer usable.
class FtpReplyParser
{
public:
    static constexpr qsizetype MaxLineLength = 8 * 1024;
    static constexpr int MaxLines = 256;

    enum class Status
    {
        NeedMore,
        Complete,
        Malformed,
        LineTooLong,
        TooManyLines
    };

    // Adds received bytes; feed pieces of a few KiB so the buffer stays near the line bound.
    void append(const QByteArray &bytes) { m_buffer.append(bytes); }

    // Takes the next complete reply out of the buffered bytes. Bytes after it stay buffered
    // for the next call.
    Status next(FtpReply *reply);

    bool hasBufferedBytes() const { return !m_buffer.isEmpty(); }
    void clear();

private:
    Status takeLine(QByteArray *line);
    Status addLine(const QByteArray &line);
    bool closesReply(const QByteArray &line) const;

    QByteArray m_buffer;
    FtpReply m_reply;
    bool m_open = false; // a multi-line reply has begun
};

} // namespace Kakiva
