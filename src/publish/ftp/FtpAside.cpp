#include "publish/ftp/FtpAside.h"

#include "publish/client/WireText.h"
#include "publish/ftp/FtpFeatures.h"
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

// The result of a question whose reply never came. The wait running out after others of the
// same write were answered is the mark of a server that takes one command at a time.
qint16 unansweredResult(const FtpSession &session, FtpStatus status, bool othersAnswered)
{
    if (status == FtpStatus::Ok)
        return FtpResult::BadReply;
    if (status == FtpStatus::TimedOut && othersAnswered)
        return FtpResult::Unanswered;
    return session.commandFailure(status);
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

std::optional<qint16> digestVerdict(FtpSession &session, const AsideFile &file,
                                    const FtpReply &reply)
{
    if (reply.isServiceClosing())
        return serverRefusal(reply);
    const QByteArray digest = parseHashReply(reply);
    if (digest.isEmpty()) {
        // Not a command it knows: the record learns it, and the next run asks sizes.
        if (reply.code == 500 || reply.code == 502)
            session.learnHashUnknown();
        session.log.note(QStringLiteral("no SHA-256 digest of %1 (%2); its size is asked")
                             .arg(file.temporary)
                             .arg(reply.code));
        return std::nullopt;
    }
    if (digest == file.sha256)
        return FtpResult::PutFile::Stored;
    session.log.note(QStringLiteral("the server's digest of %1 is not that of the bytes sent")
                         .arg(file.temporary));
    return FtpResult::StoredDiffers;
}

QList<qint16> checkSizes(FtpSession &session, const QList<AsideFile> &files, AsideWay way)
{
    QList<QByteArray> lines;
    for (const AsideFile &file : files)
        lines.append("SIZE " + file.temporary.toUtf8());
    QList<FtpReply> replies;
    const FtpStatus status = askAll(session, lines, way.together, &replies);
    QList<qint16> results;
    for (qsizetype i = 0; i < replies.size(); ++i)
        results.append(sizeVerdict(session.log, files.at(i), replies.at(i)));
    while (results.size() < files.size())
        results.append(unansweredResult(session, status, !replies.isEmpty()));
    return results;
}

// The lines of one check: digests where the server tells them and every file has one, else
// sizes. FEAT goes ahead of them in the same write while this login has not asked it, so the
// record learns for nothing whether the next run can have digests; one command at a time it
// would cost a wait of its own, and is left to the check of the site.
struct CheckQuestions
{
    QList<QByteArray> lines;
    bool features = false; // FEAT first
    bool choose = false;   // "OPTS HASH SHA-256" next
    bool digests = false;
};

CheckQuestions checkQuestions(const FtpSession &session, const QList<AsideFile> &files,
                              AsideWay way)
{
    CheckQuestions questions;
    const bool offered = session.features ? session.features->hashSha256 : way.digests;
    questions.digests = offered && !session.hashUnknown;
    for (const AsideFile &file : files)
        questions.digests = questions.digests && !file.sha256.isEmpty();
    questions.features = way.together && !session.features;
    questions.choose = questions.digests && !(session.features && session.features->sha256Chosen);
    if (questions.features)
        questions.lines.append("FEAT");
    if (questions.choose)
        questions.lines.append("OPTS HASH SHA-256");
    for (const AsideFile &file : files)
        questions.lines.append((questions.digests ? "HASH " : "SIZE ") + file.temporary.toUtf8());
    return questions;
}

// Takes the replies to FEAT and OPTS; the index of the first file's reply.
qsizetype takeLeadingReplies(FtpSession &session, const CheckQuestions &questions,
                             const QList<FtpReply> &replies)
{
    qsizetype first = 0;
    if (questions.features && first < replies.size())
        session.learnFeatures(replies.at(first++));
    if (questions.choose && first < replies.size()) {
        // Refused, HASH answers in another algorithm, which no digest is read from.
        if (replies.at(first++).isSuccess() && session.features)
            session.features->sha256Chosen = true;
    }
    return first;
}

// Whether each reply can be its command's: RNFR never answers 2xx, and only RNFR answers 350.
bool inOrder(const QList<FtpReply> &replies, qsizetype perFile)
{
    for (qsizetype i = 0; i < replies.size(); ++i) {
        const bool renameFrom = i % perFile == perFile - 2;
        const FtpReply &reply = replies.at(i);
        if (renameFrom ? reply.isSuccess() : reply.code == PendingRename)
            return false;
    }
    return true;
}

} // namespace

QList<qint16> checkStoredFiles(FtpSession &session, const QList<AsideFile> &files, AsideWay way)
{
    if (!sendable(files))
        return QList<qint16>(files.size(), FtpResult::LineRefused);
    // In ASCII type SIZE would count line ends as the server would send them.
    FtpReply typeReply;
    if (const FtpStatus s = session.useBinaryType(&typeReply); s != FtpStatus::Ok)
        return QList<qint16>(files.size(), session.commandFailure(s));
    if (!session.binaryType)
        return QList<qint16>(files.size(), serverRefusal(typeReply));
    const CheckQuestions questions = checkQuestions(session, files, way);
    QList<FtpReply> replies;
    const FtpStatus status = askAll(session, questions.lines, way.together, &replies);
    const qsizetype first = takeLeadingReplies(session, questions, replies);
    QList<qint16> results(files.size(), FtpResult::BadReply);
    QList<AsideFile> bySize;
    QList<qsizetype> bySizeIndexes;
    for (qsizetype i = 0; i < files.size(); ++i) {
        if (first + i >= replies.size()) {
            results[i] = unansweredResult(session, status, !replies.isEmpty());
            continue;
        }
        const FtpReply &reply = replies.at(first + i);
        const std::optional<qint16> verdict =
            questions.digests ? digestVerdict(session, files.at(i), reply)
                              : std::optional(sizeVerdict(session.log, files.at(i), reply));
        if (verdict) {
            results[i] = *verdict;
        } else {
            bySize.append(files.at(i));
            bySizeIndexes.append(i);
        }
    }
    // What HASH did not tell, SIZE does.
    if (!bySize.isEmpty()) {
        const QList<qint16> sized = checkSizes(session, bySize, way);
        for (qsizetype k = 0; k < sized.size(); ++k)
            results[bySizeIndexes.at(k)] = sized.at(k);
    }
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
    if (way.together && !inOrder(replies, perFile)) {
        // Which rename the server made is anyone's guess: none counts, and the connection,
        // whose next reply may be an old one, goes.
        session.log.note(QStringLiteral("the replies to the renames sent together came out of "
                                        "order; the connection is dropped"));
        session.end();
        return QList<qint16>(files.size(), FtpResult::RepliesOutOfOrder);
    }
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
