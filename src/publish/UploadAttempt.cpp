#include "publish/UploadAttempt.h"

#include "pages/PagePaths.h"
#include "publish/ConnectOutcome.h"
#include "publish/PublishSession.h"
#include "publish/ServerRemovals.h"
#include "publish/StoreAside.h"

#include <algorithm>
#include <tuple>

namespace Kakiva {

namespace {

// Where a file stands in the sending order: the generated pages first, so a day's pages are
// up before anything else; then its depth in the site, then whether it is a list, since a
// list goes up before the pages beside it.
std::tuple<int, qsizetype, bool> rankOf(const QString &sitePath)
{
    // The pages, then the pictures they show, then the files of the root.
    const int group = isGeneratedPage(sitePath) ? 0 : isDayPicture(sitePath) ? 1 : 2;
    return {group, sitePath.count(QLatin1Char('/')), !isListPage(sitePath)};
}

// The directory of the deepest of files (not empty): entered first, it makes those above it
// on the way.
QString deepestDirectory(const QList<SiteFile> &files)
{
    const auto deepest =
        std::max_element(files.begin(), files.end(), [](const SiteFile &a, const SiteFile &b) {
            return a.remotePath.count(QLatin1Char('/')) < b.remotePath.count(QLatin1Char('/'));
        });
    return remoteDirectoryOf(deepest->remotePath);
}

} // namespace

UploadAttempt::UploadAttempt(PublishRequest request, StatusSink status)
    : m_request(std::move(request)), m_status(std::move(status))
{
}

QStringList UploadAttempt::sendingOrder(QStringList sitePaths)
{
    std::stable_sort(sitePaths.begin(), sitePaths.end(),
                     [](const QString &a, const QString &b) { return rankOf(a) < rankOf(b); });
    return sitePaths;
}

PublishOutcome UploadAttempt::run(const QStringList &sitePaths)
{
    // Each page is read once, before anything is sent (siteFileOf).
    QList<SiteFile> files;
    for (const QString &path : sendingOrder(sitePaths))
        files.append(siteFileOf(path));
    PublishRun run(m_request);
    bool sent = false;
    {
        PublishSession session(run);
        m_run = &run;
        m_session = &session;
        const bool removals = !pendingRemovals(run.record()).isEmpty();
        sent = logIn() && enter(QString()) && removeLeftTemporaries() &&
               (session.storesTogether() ? sendTogether(files, !removals)
                                         : sendOneByOne(files, !removals)) &&
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

// Temporaries of an attempt cut short between its stores and its renames, which the record
// names: a failure to remove one does not stop this attempt.
bool UploadAttempt::removeLeftTemporaries()
{
    for (const QString &path : m_run->record().temporaries()) {
        if (m_run->cancelled())
            return false;
        m_session->removeTemporary(path);
    }
    return true;
}

// Each page aside first, then all renamed over the old ones (StoreAside); a server that takes
// no temporaries gets them stored over the pages.
bool UploadAttempt::sendOneByOne(const QList<SiteFile> &files, bool last)
{
    if (m_run->record().replacing() == ServerRecord::Replacing::InPlace)
        return storeInPlace(files, last);
    StoreAside aside(*m_run, *m_session, [this](const QString &directory) { return enter(directory); },
                     m_status);
    switch (aside.send(files, last)) {
    case StoreAside::Outcome::Replaced:
        return true;
    case StoreAside::Outcome::Failed:
        // A directory that could not be entered has shown its failure already.
        if (m_failureShown)
            return false;
        return fail(m_run->failure().kind == OutcomeKind::LocalFileMissing
                        ? OutcomeKind::LocalFileMissing
                        : OutcomeKind::Failed);
    case StoreAside::Outcome::InPlace:
        break;
    }
    return storeInPlace(files.mid(aside.inPlaceDone()), last);
}

// Sent only once the last page is confirmed: seen earlier, it would invite closing the
// window, which cancels the pages still on their way.
bool UploadAttempt::storeInPlace(const QList<SiteFile> &files, bool last)
{
    for (qsizetype i = 0; i < files.size(); ++i) {
        const SiteFile &file = files.at(i);
        if (!enter(remoteDirectoryOf(file.remotePath)) ||
            !shown(m_session->store(file), last && i == files.size() - 1))
            return false;
    }
    return true;
}

// The deepest directory first: those above exist with it, and the pages reach them all
// from there, so no directory above costs a question of its own.
bool UploadAttempt::sendTogether(const QList<SiteFile> &files, bool last)
{
    if (!files.isEmpty() && !enter(deepestDirectory(files)))
        return false;
    const QList<qint16> results = m_session->storeTogether(files);
    for (qsizetype i = 0; i < results.size(); ++i) {
        if (!shown(results.at(i), last && i == results.size() - 1))
            return false;
    }
    return true;
}

// Taken before sending: a page rewritten meanwhile then reads as unsent, never as sent.
SiteFile UploadAttempt::siteFileOf(const QString &sitePath)
{
    const QString localPath = localPathOf(sitePath);
    return {localPath, sitePath, 0, fileDigest(localPath)};
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
    m_failureShown = true;
    return false;
}

} // namespace Kakiva
