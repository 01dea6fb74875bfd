#include "publish/BulkPublish.h"

#include "publish/BulkWorkQueue.h"
#include "publish/PublishSession.h"
#include "publish/ServerRemovals.h"
#include "publish/StoreAside.h"
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
    if (index == 0) {
        removeLeftTemporaries(shared, session);
        startHelpers(shared);
    }
    if (sendFiles(shared, session, index) && (index > 0 || removeDeletedDays(shared, session)))
        session.close();
}

// Temporaries of a run cut short between its stores and its renames, which the record names;
// before the other sessions start, so none of them can be taking their place meanwhile.
void BulkPublish::removeLeftTemporaries(Shared &shared, PublishSession &session) const
{
    for (const QString &path : shared.run.record().temporaries()) {
        if (shared.run.cancelled())
            return;
        session.removeTemporary(path);
    }
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

// The session's files go in batches of one directory, each stored aside and then put in
// place together (StoreAside); a file that fails alone does not hold up the others. A session
// that fails gives back what it has not done.
bool BulkPublish::sendFiles(Shared &shared, PublishSession &session, int index) const
{
    std::optional<SiteFile> next = shared.queue.take(index);
    while (next) {
        QList<SiteFile> batch{*next};
        const QString directory = remoteDirectoryOf(next->remotePath);
        next = shared.queue.take(index);
        while (next && batch.size() < MaxBatch && remoteDirectoryOf(next->remotePath) == directory) {
            batch.append(*next);
            next = shared.queue.take(index);
        }
        qsizetype done = 0;
        if (!sendBatch(shared, session, batch, &done)) {
            for (qsizetype i = done; i < batch.size(); ++i)
                shared.queue.putBack(batch.at(i));
            if (next)
                shared.queue.putBack(*next);
            shared.queue.release(index);
            return false;
        }
    }
    return !shared.run.cancelled();
}

// *done: how many of files, from the first, are done with (in place, or failed alone).
bool BulkPublish::sendBatch(Shared &shared, PublishSession &session, const QList<SiteFile> &files,
                            qsizetype *done) const
{
    if (shared.run.cancelled())
        return false;
    if (session.storesTogether() ||
        shared.run.record().replacing() == ServerRecord::Replacing::InPlace)
        return sendInPlace(shared, session, files, done);
    report(shared, &files.first(), nullptr);
    StoreAside aside(
        shared.run, session,
        [&session](const QString &directory) {
            return session.enter(directory) != PublishSession::Entry::Failed;
        },
        [](OutcomeKind) {}, StoreAside::Failing::EachAlone);
    const StoreAside::Outcome outcome = aside.send(files, false);
    for (qsizetype i = 0; i < files.size(); ++i) {
        if (aside.results().at(i) == ClientResult::PutFile::Stored ||
            (outcome == StoreAside::Outcome::InPlace && i < aside.inPlaceDone()))
            report(shared, nullptr, &files.at(i));
    }
    switch (outcome) {
    case StoreAside::Outcome::Replaced:
        *done = files.size();
        return true;
    case StoreAside::Outcome::InPlace: {
        qsizetype rest = 0;
        const bool sent = sendInPlace(shared, session, files.mid(aside.inPlaceDone()), &rest);
        *done = aside.inPlaceDone() + rest;
        return sent;
    }
    case StoreAside::Outcome::Failed:
        break;
    }
    return false;
}

// Each file with one PutFile: over SFTP, which replaces each page whole on its own, and on a
// server that takes no temporaries.
bool BulkPublish::sendInPlace(Shared &shared, PublishSession &session,
                              const QList<SiteFile> &files, qsizetype *done) const
{
    for (const SiteFile &file : files) {
        if (shared.run.cancelled() ||
            session.enter(remoteDirectoryOf(file.remotePath)) == PublishSession::Entry::Failed)
            return false;
        report(shared, &file, nullptr);
        const qint16 result = session.store(file);
        if (result == ClientResult::PutFile::Stored)
            report(shared, nullptr, &file);
        else if (!ClientResult::failedForThisFileAlone(result))
            return false;
        ++*done;
    }
    return true;
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
