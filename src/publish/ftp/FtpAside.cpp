#include "publish/ftp/FtpAside.h"

#include "publish/client/WireText.h"
#include "publish/ftp/FtpResult.h"
#include "publish/ftp/FtpSession.h"

#include <optional>

namespace Kakiva {

namespace {

constexpr int PendingRename = 350;

// Sends the lines and reads one final reply to each, in order, into *replies; the lines go
// out at once when together. A conversation that fails stops the reading.
FtpStatus askAll(FtpSession &session, const QList<QByteArray> &lines, bool together,
                 QList<FtpReply> *replies)
{
    if (!together) {
        for (const QByteArray &line : lines) {
            FtpReply reply;
            if (const FtpStatus s = session.exchange(line, &reply); s != FtpStatus::Ok)
                return s;
            replies->append(reply);
        }
        return FtpStatus::Ok;
    }
    if (const FtpStatus s = session.control.sendTogether(lines); s != FtpStatus::Ok)
        return s;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        FtpReply reply;
        if (const FtpStatus s = session.control.readFinalReply(&reply); s != FtpStatus::Ok)
            return s;
        replies->append(reply);
    }
    return FtpStatus::Ok;
}

bool sendable(const QList<AsideFile> &files)
{
    for (const AsideFile &file : files) {
        if (file.temporary.isEmpty() || file.page.isEmpty() || !isSendable(file.temporary) ||
            !isSendable(file.page))
            return false;
    }
    return true;
}

// The results of files whose replies never came: the session failed there.
void failRest(FtpSession &session, FtpStatus status, qsizetype count, QList<qint16> *results)
{
    while (results->size() < count)
        results->append(status == FtpStatus::Ok ? FtpResult::BadReply
                                                : session.commandFailure(status));
}

qint16 sizeVerdict(SessionLog &log, const AsideFile &file, const FtpReply &reply)
{
    if (const auto size = sizeIn(reply)) {
        if (*size == file.size)
            return FtpResult::PutFile::Stored;
        log.note(QStringLiteral("the server holds %1 bytes of %2; %3 were sent")
                     .arg(*size)
                     .arg(file.temporary)
                     .arg(file.size));
        return FtpResult::StoredDiffers;
    }
    if (reply.code == 550 || reply.code == 450) {
        log.note(QStringLiteral("the server does not hold %1 after storing it").arg(file.temporary));
        return FtpResult::StoredDiffers;
    }
    return reply.isSuccess() ? FtpResult::BadReply : serverRefusal(reply);
}

} // namespace

QList<qint16> checkStoredSizes(FtpSession &session, const QList<AsideFile> &files, AsideWay way)
{
    if (!sendable(files))
        return QList<qint16>(files.size(), FtpResult::LineRefused);
    // In ASCII type SIZE would count line ends as the server would send them.
    FtpReply typeReply;
    if (const FtpStatus s = session.useBinaryType(&typeReply); s != FtpStatus::Ok)
        return QList<qint16>(files.size(), session.commandFailure(s));
    if (!session.binaryType)
        return QList<qint16>(files.size(), serverRefusal(typeReply));
    QList<QByteArray> lines;
    for (const AsideFile &file : files)
        lines.append("SIZE " + file.temporary.toUtf8());
    QList<FtpReply> replies;
    const FtpStatus status = askAll(session, lines, way.together, &replies);
    QList<qint16> results;
    for (qsizetype i = 0; i < replies.size(); ++i)
        results.append(sizeVerdict(session.log, files.at(i), replies.at(i)));
    failRest(session, status, files.size(), &results);
    return results;
}

QList<qint16> renameStored(FtpSession &session, const QList<AsideFile> &files, AsideWay way)
{
    if (!sendable(files))
        return QList<qint16>(files.size(), FtpResult::LineRefused);
    const qsizetype perFile = way.removeFirst ? 3 : 2;
    QList<QByteArray> lines;
    for (const AsideFile &file : files) {
        if (way.removeFirst) {
            session.log.note(QStringLiteral("removing %1 before the rename: this server does not "
                                            "rename over a file")
                                 .arg(file.page));
            lines.append("DELE " + file.page.toUtf8());
        }
        lines.append("RNFR " + file.temporary.toUtf8());
        lines.append("RNTO " + file.page.toUtf8());
    }
    QList<FtpReply> replies;
    const FtpStatus status = askAll(session, lines, way.together, &replies);
    QList<qint16> results;
    for (qsizetype i = 0; (i + 1) * perFile <= replies.size(); ++i) {
        const FtpReply &from = replies.at(i * perFile + perFile - 2);
        const FtpReply &to = replies.at(i * perFile + perFile - 1);
        if (from.code != PendingRename) {
            results.append(from.isRefusal() ? serverRefusal(from) : FtpResult::BadReply);
        } else if (to.isSuccess()) {
            results.append(FtpResult::PutFile::Stored);
        } else {
            session.log.note(QStringLiteral("the server refused to put %1 in place of %2 (%3)")
                                 .arg(files.at(i).temporary, files.at(i).page)
                                 .arg(to.code));
            results.append(to.isServiceClosing() ? serverRefusal(to) : FtpResult::ReplaceRefused);
        }
    }
    failRest(session, status, files.size(), &results);
    return results;
}

} // namespace Kakiva
