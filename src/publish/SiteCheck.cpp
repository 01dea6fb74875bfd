#include "publish/SiteCheck.h"

#include "publish/PublishSession.h"
#include "publish/RemotePaths.h"
#include "publish/client/ClientResult.h"

namespace Kakiva {

namespace {

// The refusal a server gives for a directory that is not there.
constexpr qint16 DirectoryNotThere = 5;

} // namespace

SiteCheck::SiteCheck(PublishRequest request, QList<SiteFile> local)
    : m_request(std::move(request)), m_local(std::move(local))
{
}

PublishOutcome SiteCheck::run()
{
    m_report = {};
    m_recordError.clear();
    PublishRun run(m_request);
    m_report.complete = checkWith(run) && !run.cancelled();
    PublishOutcome outcome = run.outcome(m_report.complete);
    if (outcome.recordError.isEmpty())
        outcome.recordError = m_recordError;
    return outcome;
}

// The session ends here, before the run's outcome is read: it adds its wire costs as it goes.
bool SiteCheck::checkWith(PublishRun &run)
{
    PublishSession session(run);
    if (!session.logIn())
        return false;
    ServerListings listings;
    bool complete = false;
    // Nothing is marked or removed before the whole server has been seen.
    if (listAll(run, session, &listings) && !run.cancelled()) {
        const QHash<QString, QByteArray> sent = run.record().confirmedFiles();
        askDigests(session, listings, sent);
        m_report.differences = compareSite(m_local, sent, listings);
        complete = !run.cancelled() && settle(run, session);
    }
    session.close();
    return complete;
}

bool SiteCheck::listAll(PublishRun &run, PublishSession &session, ServerListings *listings)
{
    const QStringList directories = directoriesToCheck(run.record().confirmedFiles());
    SiteCheckProgress progress{0, static_cast<int>(directories.size()), {}};
    for (const QString &directory : directories) {
        if (run.cancelled())
            return false;
        progress.currentDirectory = directory;
        if (m_progress)
            m_progress(progress);
        QList<RemoteEntry> entries;
        const qint16 result = session.list(directory, &entries);
        if (result == ClientResult::Command::Done) {
            listings->insert(directory, entries);
        } else if (result == DirectoryNotThere && !directory.isEmpty()) {
            listings->insert(directory, std::nullopt);
        } else {
            // The remote directory itself must be there: without it, it is the setting that
            // is wrong, not every page. A passing refusal says nothing either way.
            const PublishDestination &to = run.request().destination;
            return run.fail(
                result < 0 ? PublishFailure::ofStore(directory, result)
                           : PublishFailure::ofDirectory(remotePathBelow(to.directory, directory)));
        }
        ++m_report.directoriesListed;
        ++progress.directoriesDone;
        if (m_progress)
            m_progress(progress);
    }
    return true;
}

// Only the pages compared (as sent, by the record) whose size already agrees need a digest:
// the others differ anyway, or are not compared.
void SiteCheck::askDigests(PublishSession &session, ServerListings &listings,
                           const QHash<QString, QByteArray> &sent) const
{
    QHash<QString, const SiteFile *> compared;
    for (const SiteFile &file : m_local) {
        if (!file.digest.isEmpty() && sent.value(file.remotePath) == file.digest)
            compared.insert(file.remotePath, &file);
    }
    for (auto it = listings.begin(); it != listings.end(); ++it) {
        if (!*it)
            continue;
        QList<RemoteEntry> &entries = **it;
        QStringList names;
        QList<qsizetype> asked;
        for (qsizetype i = 0; i < entries.size(); ++i) {
            const RemoteEntry &entry = entries.at(i);
            const SiteFile *file = compared.value(remotePathIn(it.key(), entry.name));
            if (file && !entry.isDirectory && entry.size == file->size) {
                names.append(entry.name);
                asked.append(i);
            }
        }
        if (names.isEmpty())
            continue;
        const QList<QByteArray> digests = session.digests(it.key(), names);
        if (digests.size() != names.size())
            return; // not offered: one answer is enough to know
        for (qsizetype k = 0; k < asked.size(); ++k)
            entries[asked.at(k)].sha256 = digests.at(k);
    }
}

// The record forgets what the server lacks, then the temporaries go.
bool SiteCheck::settle(PublishRun &run, PublishSession &session)
{
    const SiteDifferences &found = m_report.differences;
    run.record().forget(found.missing + found.changed, &m_recordError);
    for (const QString &path : found.temporaries) {
        if (run.cancelled())
            return false;
        if (!session.removeLeftover(path)) {
            if (run.failure().isFailure())
                return false;
            m_report.temporariesLeft.append(path);
        }
    }
    return true;
}

} // namespace Kakiva
