#include "publish/UploadAttempt.h"

#include "pages/PagePaths.h"
#include "publish/ConnectOutcome.h"
#include "publish/PublishSession.h"
#include "publish/ServerRemovals.h"

namespace Kakiva {

UploadAttempt::UploadAttempt(PublishRequest request, StatusSink status)
    : m_request(std::move(request)), m_status(std::move(status))
{
}

PublishOutcome UploadAttempt::run(const DateFields &date)
{
    PublishRun run(m_request);
    bool sent = false;
    {
        PublishSession session(run);
        m_run = &run;
        m_session = &session;
        const bool removals = !pendingRemovals(run.record()).isEmpty();
        sent = logIn() && enter(QString()) &&
               (session.storesTogether() ? sendTogether(date, !removals)
                                         : sendOneByOne(date, !removals)) &&
               (!removals || removeDeletedDays());
        if (sent)
            session.close();
        m_session = nullptr;
    }
    m_run = nullptr;
    return run.outcome(sent);
}

bool UploadAttempt::logIn()
{
    if (!m_session->logIn())
        return fail(m_run->failure().kind);
    const OutcomeKind stage = classifyConnectResult(m_session->connectResult()).kind;
    if (stage != OutcomeKind::None)
        m_status(stage);
    return true;
}

// A directory that can be neither entered nor made ends the attempt: sending into whatever
// directory we are still in would overwrite that directory's index.html.
bool UploadAttempt::enter(const QString &directory)
{
    switch (m_session->enter(directory)) {
    case PublishSession::Entry::Entered:
        m_status(OutcomeKind::DirectoryChanged);
        return true;
    case PublishSession::Entry::AlreadyThere:
    case PublishSession::Entry::Made:
        return true;
    case PublishSession::Entry::Failed:
        break;
    }
    return fail(OutcomeKind::Failed);
}

bool UploadAttempt::sendOneByOne(const DateFields &date, bool last)
{
    return send(yearListPath()) && enter(date.year) && send(monthListPath(date.year)) &&
           enter(monthDirectory(date)) && send(dayListPath(date.year, date.month)) &&
           send(dayPagePath(date.year, date.month, date.day), last);
}

// The month directory first: the year directory exists with it, and the pages reach both
// from there, so the year directory costs no question of its own.
bool UploadAttempt::sendTogether(const DateFields &date, bool last)
{
    if (!enter(monthDirectory(date)))
        return false;
    QList<SiteFile> files;
    for (const QString &page :
         {yearListPath(), monthListPath(date.year), dayListPath(date.year, date.month),
          dayPagePath(date.year, date.month, date.day)})
        files.append(siteFileOf(page));
    const QList<qint16> results = m_session->storeTogether(files);
    for (qsizetype i = 0; i < results.size(); ++i) {
        if (!shown(results.at(i), last && i == results.size() - 1))
            return false;
    }
    return true;
}

// Sent only once the last page is confirmed: seen earlier, it would invite closing
// the window, which cancels the pages still on their way.
bool UploadAttempt::send(const QString &localPath, bool last)
{
    return shown(m_session->store(siteFileOf(localPath)), last);
}

// Taken before sending: a page rewritten meanwhile then reads as unsent, never as sent.
SiteFile UploadAttempt::siteFileOf(const QString &localPath)
{
    return {localPath, remotePathOf(localPath), 0, fileDigest(localPath)};
}

QString UploadAttempt::monthDirectory(const DateFields &date)
{
    return date.year + QLatin1Char('/') + date.month;
}

bool UploadAttempt::shown(qint16 result, bool last)
{
    if (m_run->cancelled())
        return false;
    if (result >= 1) {
        m_status(last ? OutcomeKind::Sent : OutcomeKind::Uploading);
        return true;
    }
    return fail(result == 0 ? OutcomeKind::LocalFileMissing : OutcomeKind::Failed);
}

// The pages of deleted days go with the next upload to their server.
bool UploadAttempt::removeDeletedDays()
{
    if (!carryOutRemovals(*m_run, *m_session))
        return fail(OutcomeKind::Failed);
    m_status(OutcomeKind::Sent);
    return true;
}

bool UploadAttempt::fail(OutcomeKind stage)
{
    if (!m_run->cancelled())
        m_status(stage);
    return false;
}

} // namespace Kakiva
