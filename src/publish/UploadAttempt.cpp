#include "publish/UploadAttempt.h"

#include "pages/PagePaths.h"
#include "publish/PublishSession.h"
#include "publish/ServerRemovals.h"
#include "publish/UploadStatus.h"

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
        const QString month = date.year + QLatin1Char('/') + date.month;
        const bool removals = !pendingRemovals(run.record()).isEmpty();
        sent = logIn() && enter(QString()) && send(yearListPath()) && enter(date.year) &&
               send(monthListPath(date.year)) && enter(month) &&
               send(dayListPath(date.year, date.month)) &&
               send(dayPagePath(date.year, date.month, date.day), !removals) &&
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
        return fail(m_run->reason());
    const QString status = classifyConnectResult(m_session->connectResult()).status;
    if (!status.isEmpty())
        m_status(status);
    return true;
}

// A directory that can be neither entered nor made ends the attempt: sending into whatever
// directory we are still in would overwrite that directory's index.html.
bool UploadAttempt::enter(const QString &directory)
{
    switch (m_session->enter(directory)) {
    case PublishSession::Entry::Entered:
        m_status(UploadStatus::DirectoryChanged);
        return true;
    case PublishSession::Entry::AlreadyThere:
    case PublishSession::Entry::Made:
        return true;
    case PublishSession::Entry::Failed:
        break;
    }
    return fail(UploadStatus::Error);
}

// "アップ成功" only once the last page is confirmed: seen earlier, it would invite closing
// the window, which cancels the pages still on their way.
bool UploadAttempt::send(const QString &localPath, bool last)
{
    // Taken before sending: a page rewritten meanwhile then reads as unsent, never as sent.
    const qint16 result =
        m_session->store({localPath, remotePathOf(localPath), 0, fileDigest(localPath)});
    if (m_run->cancelled())
        return false;
    if (result >= 1) {
        m_status(last ? UploadStatus::Sent : UploadStatus::Uploading);
        return true;
    }
    return fail(result == 0 ? UploadStatus::NoSuchFile : UploadStatus::Error);
}

// The pages of deleted days go with the next upload to their server.
bool UploadAttempt::removeDeletedDays()
{
    if (!carryOutRemovals(*m_run, *m_session))
        return fail(UploadStatus::Error);
    m_status(UploadStatus::Sent);
    return true;
}

bool UploadAttempt::fail(const QString &status)
{
    if (!m_run->cancelled())
        m_status(status);
    return false;
}

} // namespace Kakiva
