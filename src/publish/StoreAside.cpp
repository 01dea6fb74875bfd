#include "publish/StoreAside.h"

#include "publish/PublishFailure.h"
#include "publish/PublishRun.h"
#include "publish/TemporaryNames.h"
#include "publish/client/ClientResult.h"

namespace Kakiva {

namespace {

QString joined(const QString &directory, const QString &name)
{
    return directory.isEmpty() ? name : directory + QLatin1Char('/') + name;
}

// A server that will not take a file under a name of ours, though it takes the page's own:
// an upload-only account, or a server that bars hidden names.
bool refusesName(qint16 result)
{
    return result == -550 || result == -553;
}

constexpr qint16 Stored = ClientResult::PutFile::Stored;

} // namespace

StoreAside::StoreAside(PublishRun &run, PublishSession &session, Enter enter, StatusSink status,
                       Failing failing)
    : m_run(run), m_session(session), m_enter(std::move(enter)), m_status(std::move(status)),
      m_failing(failing)
{
}

StoreAside::Outcome StoreAside::send(const QList<SiteFile> &files, bool last)
{
    const QString tag = newUploadTag();
    QStringList temporaries;
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QString path = joined(remoteDirectoryOf(files.at(i).remotePath),
                                    temporaryName(tag, static_cast<int>(i)));
        m_files.append({files.at(i), path, 0});
        temporaries.append(path);
    }
    m_results = QList<qint16>(files.size(), ClientResult::Withheld);
    m_way.together = m_run.record().commandsTogether();
    m_way.digests = m_run.record().offersDigests();
    m_way.removeFirst = m_run.record().replacing() == ServerRecord::Replacing::RemovingFirst;
    // Named before they exist: a run cut short anywhere leaves nothing the record forgot.
    m_run.record().rememberTemporaries(temporaries);
    const bool replaced = storeAll() && checkAll() && renameAll();
    removeLeftovers();
    if (m_inPlace)
        return Outcome::InPlace;
    if (!replaced)
        return Outcome::Failed;
    if (last)
        m_status(OutcomeKind::Sent);
    return Outcome::Replaced;
}

// The files still on their way: stored, and neither failed nor in place yet.
QList<qsizetype> StoreAside::going() const
{
    QList<qsizetype> indexes;
    for (qsizetype i = 0; i < m_files.size(); ++i) {
        if (m_results.at(i) == ClientResult::Withheld && m_files.at(i).size >= 0)
            indexes.append(i);
    }
    return indexes;
}

// The last store shows no status of its own: the pages are only up once renamed.
bool StoreAside::storeAll()
{
    for (qsizetype i = 0; i < m_files.size(); ++i) {
        PublishSession::Aside &aside = m_files[i];
        if (!m_enter(remoteDirectoryOf(aside.file.remotePath)))
            return false;
        const qint16 result = m_session.storeAside(&aside);
        // A missing local file is found before anything is sent.
        m_attempted = result == ClientResult::PutFile::LocalFileMissing ? i : i + 1;
        if (m_run.cancelled())
            return false;
        if (result < Stored) {
            switch (retryFirst(result, i)) {
            case Retry::Failed:
                if (!failFile(i, result))
                    return false;
                continue;
            case Retry::InPlace:
                return false; // the caller stores the rest over their pages
            case Retry::Aside:
                break;
            }
        }
        if (i + 1 < m_files.size())
            m_status(OutcomeKind::Uploading);
    }
    return true;
}

// The first temporary refused: the page itself is tried under its own name, and the
// temporary once more. A page taken and its temporary refused again tell a server that
// stores only over pages; a temporary taken the second time was a passing refusal, and the
// pages go on aside (this first one is up already).
StoreAside::Retry StoreAside::retryFirst(qint16 result, qsizetype index)
{
    if (index != 0 || !refusesName(result))
        return Retry::Failed;
    if (m_session.store(m_files.first().file) < Stored)
        return Retry::Failed;
    const qint16 again = m_session.storeAside(&m_files.first());
    if (again >= Stored)
        return Retry::Aside;
    if (!refusesName(again))
        return Retry::Failed;
    learnInPlace(1);
    return Retry::InPlace;
}

void StoreAside::learnInPlace(qsizetype done)
{
    m_run.record().useReplacing(ServerRecord::Replacing::InPlace);
    m_status(OutcomeKind::ReplacedInPlace);
    m_inPlace = true;
    m_inPlaceDone = done;
}

bool StoreAside::checkAll()
{
    const QList<qsizetype> indexes = going();
    QList<PublishSession::Aside> asked;
    for (const qsizetype i : indexes)
        asked.append(m_files.at(i));
    if (asked.isEmpty())
        return true;
    const QList<qint16> results = m_session.checkAside(asked, m_way);
    for (qsizetype k = 0; k < results.size(); ++k) {
        const qint16 result = results.at(k);
        if (result == Stored)
            continue;
        // Asked together, the questions after the first answered one went unanswered: a
        // server that takes one command at a time, as the next run will send them.
        if (result == ClientResult::Unanswered && m_way.together)
            m_run.record().useOneCommandAtATime();
        if (!failFile(indexes.at(k), result))
            return false;
    }
    return true;
}

bool StoreAside::renameAll()
{
    const QList<qsizetype> indexes = going();
    QList<PublishSession::Aside> renamed;
    for (const qsizetype i : indexes)
        renamed.append(m_files.at(i));
    // Under all or none, one failed file keeps every page as it was.
    if (renamed.isEmpty() || (m_failing == Failing::AllOrNone && indexes.size() != m_files.size()))
        return renamed.isEmpty() && m_failing == Failing::EachAlone;
    const QList<qint16> results = m_session.renameAside(renamed, m_way);
    if (results.contains(ClientResult::RepliesOutOfOrder)) {
        // Nothing is known to be in place; the next run renames one by one.
        m_run.record().useOneCommandAtATime();
        failFile(indexes.constFirst(), ClientResult::RepliesOutOfOrder);
        return false;
    }
    QList<qsizetype> refused;
    for (qsizetype k = 0; k < results.size(); ++k) {
        const qsizetype i = indexes.at(k);
        const qint16 result = results.at(k);
        if (result == Stored) {
            replaced(i);
        } else if (result == ClientResult::ReplaceRefused && !m_way.removeFirst) {
            refused.append(i);
        } else if (k == 0 && ClientResult::isServerRefusal(result) &&
                   result != ClientResult::ServiceClosing && !m_learntRenaming) {
            // The temporary it had just confirmed, it will not rename: no renames here.
            learnInPlace(0);
            return false;
        } else if (!failFile(i, result)) {
            return false;
        }
    }
    return refused.isEmpty() || renameRemovingFirst(refused);
}

// The server refused to rename over the old pages: each goes just before its rename.
bool StoreAside::renameRemovingFirst(const QList<qsizetype> &refused)
{
    QList<PublishSession::Aside> files;
    for (const qsizetype i : refused)
        files.append(m_files.at(i));
    const QList<qint16> results =
        m_session.renameAside(files, AsideWay{false, true, m_way.digests});
    for (qsizetype k = 0; k < results.size(); ++k) {
        if (results.at(k) != Stored) {
            if (!failFile(refused.at(k), results.at(k)))
                return false;
            continue;
        }
        if (k == 0)
            m_run.record().useReplacing(ServerRecord::Replacing::RemovingFirst);
        replaced(refused.at(k));
    }
    return true;
}

void StoreAside::replaced(qsizetype index)
{
    m_results[index] = Stored;
    m_learntRenaming = true;
    m_session.replaced(m_files.at(index));
}

// Every temporary not renamed goes, the deepest first, from where the stores ended; one the
// session could not remove stays in the record for the next connection.
void StoreAside::removeLeftovers()
{
    QStringList done;
    for (qsizetype i = m_files.size() - 1; i >= 0; --i) {
        // One never stored is not there; one refused may be, cut short.
        if (m_results.at(i) == Stored || i >= m_attempted)
            done.append(m_files.at(i).temporaryPath);
        else if (!m_run.cancelled())
            m_session.removeTemporary(m_files.at(i).temporaryPath);
    }
    m_run.record().forgetTemporaries(done);
}

// A file that failed: the run learns why. Whether the others go on is the caller's choice,
// and only for a failure of that file alone (a refusal, a size that differs).
bool StoreAside::failFile(qsizetype index, qint16 result)
{
    m_results[index] = result;
    m_files[index].size = -1;
    m_run.fail(PublishFailure::ofStore(m_files.at(index).file.remotePath, result));
    return m_failing == Failing::EachAlone &&
           (ClientResult::failedForThisFileAlone(result) || result == ClientResult::StoredDiffers ||
            result == ClientResult::ReplaceRefused);
}

} // namespace Kakiva
