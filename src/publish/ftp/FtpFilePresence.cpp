#include "publish/ftp/FtpFilePresence.h"

#include "publish/ftp/FtpSession.h"

#include <functional>
#include <utility>

namespace Kakiva {

namespace {

// 500 to 504: the command, its argument or its use is not offered here.
bool notOffered(const FtpReply &reply)
{
    return reply.code >= 500 && reply.code <= 504;
}

// A listing line ("-rw-r--r-- 1 u g 512 Aug 17 2004 17.html") naming the file.
bool listsName(const FtpReply &reply, const QByteArray &name)
{
    for (qsizetype i = 1; i + 1 < reply.lines.size(); ++i) {
        const QByteArray line = reply.lines.at(i).trimmed();
        if (line == name || line.endsWith(' ' + name))
            return true;
    }
    return false;
}

using Reading = std::function<FtpFilePresence(const FtpReply &)>;

// One question, read into *presence when the server offers it; *answered says whether.
FtpStatus ask(FtpSession &session, const QByteArray &line, const Reading &read,
              bool *answered, FtpFilePresence *presence)
{
    FtpReply reply;
    const FtpStatus status = session.exchange(line, &reply);
    *answered = status == FtpStatus::Ok && !notOffered(reply);
    if (*answered)
        *presence = read(reply);
    return status;
}

} // namespace

FtpStatus askFilePresence(FtpSession &session, const QByteArray &name, FtpFilePresence *presence)
{
    *presence = FtpFilePresence::Unknown;
    // Some servers refuse SIZE in ASCII type with 550, as if the file were missing.
    FtpReply typeReply;
    if (const FtpStatus s = session.useBinaryType(&typeReply); s != FtpStatus::Ok)
        return s;
    if (!session.binaryType)
        return FtpStatus::Ok; // a 550 to SIZE would then say nothing
    const auto byCode = [](int there) {
        return [there](const FtpReply &reply) {
            if (reply.code == there)
                return FtpFilePresence::There;
            return reply.code == 550 || reply.code == 450 ? FtpFilePresence::Gone
                                                          : FtpFilePresence::Unknown;
        };
    };
    const Reading byListing = [&name](const FtpReply &reply) {
        if (reply.isSuccess())
            return listsName(reply, name) ? FtpFilePresence::There : FtpFilePresence::Gone;
        return reply.code == 550 || reply.code == 450 ? FtpFilePresence::Gone
                                                      : FtpFilePresence::Unknown;
    };
    const std::pair<QByteArray, Reading> questions[] = {
        {"SIZE ", byCode(213)}, {"MLST ", byCode(250)}, {"STAT ", byListing}};
    for (const auto &[verb, read] : questions) {
        bool answered = false;
        if (const FtpStatus s = ask(session, verb + name, read, &answered, presence);
            s != FtpStatus::Ok || answered)
            return s;
    }
    return FtpStatus::Ok;
}

} // namespace Kakiva
