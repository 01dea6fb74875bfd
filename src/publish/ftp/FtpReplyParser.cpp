#include "publish/ftp/FtpReplyParser.h"

namespace Kakiva {

namespace {

// The code of a reply's first line, or 0 when the line does not start like one.
int replyCode(const QByteArray &line)
{
    if (line.size() < 3)
        return 0;
    for (int i = 0; i < 3; ++i) {
        if (line.at(i) < '0' || line.at(i) > '9')
            return 0;
    }
    const int code = line.left(3).toInt();
    return code >= 100 && code < 600 ? code : 0;
}

} // namespace

FtpReplyParser::Status FtpReplyParser::next(FtpReply *reply)
{
    for (;;) {
        QByteArray line;
        const Status taken = takeLine(&line);
        if (taken != Status::Complete)
            return taken;
        const Status added = addLine(line);
        if (added == Status::Complete) {
            *reply = std::exchange(m_reply, FtpReply());
            m_open = false;
        }
        if (added != Status::NeedMore)
            return added;
    }
}

void FtpReplyParser::clear()
{
    m_buffer.clear();
    m_reply = FtpReply();
    m_open = false;
}

FtpReplyParser::Status FtpReplyParser::takeLine(QByteArray *line)
{
    const qsizetype end = m_buffer.indexOf('\n');
    if (end < 0)
        return m_buffer.size() > MaxLineLength ? Status::LineTooLong : Status::NeedMore;
    *line = m_buffer.left(end);
    m_buffer.remove(0, end + 1);
    if (line->endsWith('\r'))
        line->chop(1);
    return line->size() > MaxLineLength ? Status::LineTooLong : Status::Complete;
}

FtpReplyParser::Status FtpReplyParser::addLine(const QByteArray &line)
{
    if (m_open) {
        if (m_reply.lines.size() >= MaxLines)
            return Status::TooManyLines;
        m_reply.lines.append(line);
        return closesReply(line) ? Status::Complete : Status::NeedMore;
    }
    const int code = replyCode(line);
    const char separator = line.size() > 3 ? line.at(3) : ' ';
    if (code == 0 || (separator != ' ' && separator != '-'))
        return Status::Malformed;
    m_reply.code = code;
    m_reply.lines = {line};
    m_open = separator == '-';
    return m_open ? Status::NeedMore : Status::Complete;
}

// Only "<same code><space>" ends a multi-line reply; inner lines may look like other replies.
bool FtpReplyParser::closesReply(const QByteArray &line) const
{
    return replyCode(line) == m_reply.code && (line.size() == 3 || line.at(3) == ' ');
}

} // namespace Kakiva
