#include "publish/BulkPublish.h"

#include "publish/BulkWorkQueue.h"
#include "publish/PublishSession.h"
#include "publish/ServerRemovals.h"
#include "publish/client/ClientResult.h"

#include <QMutex>
#include <QMutexLocker>
#include <QThread>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

namespace Kakiva {

// What the sessions of one run share beyond the PublishRun.
struct BulkPublish::Shared
{
    Shared(const QList<SiteFile> &files, PublishRequest request)
        : run(std::move(request)), queue(files)
    {
        progress.filesTotal = static_cast<int>(files.size());
        for (const SiteFile &file : files)
            progress.bytesTotal += file.size;
    }

    PublishRun run;
    BulkWorkQueue queue;
    std::vector<std::unique_ptr<QThread>> helpers; // started and joined by session 0 only
    QMutex mutex;                                  // guards the progress
    BulkProgress progress;
    bool removed = false; // the pages of deleted days, by session 0 once the others are done
};

BulkPublish::BulkPublish(PublishRequest request, QList<SiteFile> files)
    : m_request(std::move(request)), m_files(std::move(files))
{
}

PublishOutcome BulkPublish::run()
{
    Shared shared(m_files, m_request);
    report(shared, nullptr, nullptr);
    runSession(shared, 0);
    for (const auto &helper : shared.helpers)
        helper->wait();
    return shared.run.outcome(shared.progress.filesDone == m_files.size() && shared.removed);
}

void BulkPublish::runSession(Shared &shared, int index) const
{
    PublishSession session(shared.run);
    if (!session.logIn(index == 0))
        return;
    if (index == 0)
        startHelpers(shared);
    if (sendFiles(shared, session, index) && (index > 0 || removeDeletedDays(shared, session)))
        session.close();
}

// Once every file is in, the lists that no longer link them among them, session 0 removes
// the pages of deleted days.
bool BulkPublish::removeDeletedDays(Shared &shared, PublishSession &session) const
{
    for (const auto &helper : shared.helpers)
        helper->wait();
    if (shared.progress.filesDone != m_files.size())
        return true; // the next run removes them, after the lists
    shared.removed = carryOutRemovals(shared.run, session);
    return shared.removed;
}

// Helpers only once the first session is in: a wrong password is then tried once, not once
// per session.
void BulkPublish::startHelpers(Shared &shared) const
{
    const int sessions = std::clamp(static_cast<int>(m_files.size()), 1, m_maxSessions);
    for (int index = 1; index < sessions; ++index) {
        shared.helpers.emplace_back(
            QThread::create([this, &shared, index] { runSession(shared, index); }));
        shared.helpers.back()->start();
    }
}

bool BulkPublish::sendFiles(Shared &shared, PublishSession &session, int index) const
{
    while (const std::optional<SiteFile> file = shared.queue.take(index)) {
        const auto giveBack = [&] {
            shared.queue.putBack(*file);
            shared.queue.release(index);
            return false;
        };
        if (shared.run.cancelled() ||
            session.enter(remoteDirectoryOf(file->remotePath)) == PublishSession::Entry::Failed)
            return giveBack();
        report(shared, &*file, nullptr);
        const qint16 result = session.store(*file);
        if (result == ClientResult::PutFile::Stored)
            report(shared, nullptr, &*file);
        else if (!ClientResult::failedForThisFileAlone(result))
            return giveBack();
    }
    return !shared.run.cancelled();
}

void BulkPublish::report(Shared &shared, const SiteFile *begun, const SiteFile *confirmed) const
{
    const QMutexLocker locker(&shared.mutex);
    if (begun)
        shared.progress.currentFile = begun->remotePath;
    if (confirmed) {
        ++shared.progress.filesDone;
        shared.progress.bytesDone += confirmed->size;
    }
    if (m_progress)
        m_progress(shared.progress);
}

} // namespace Kakiva
