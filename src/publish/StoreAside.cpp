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

} // namespace

StoreAside::StoreAside(PublishRun &run, PublishSession &session, Enter enter, StatusSink status)
    : m_run(run), m_session(session), m_enter(std::move(enter)), m_status(std::move(status))
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
    m_renamed = QList<bool>(files.size(), false);
    m_way.together = m_run.record().commandsTogether();
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
        if (result < ClientResult::PutFile::Stored) {
            switch (retryFirst(result, i)) {
            case Retry::Failed:
                return fail(aside, result);
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
    if (m_session.store(m_files.first().file) < ClientResult::PutFile::Stored)
        return Retry::Failed;
    const qint16 again = m_session.storeAside(&m_files.first());
    if (again >= ClientResult::PutFile::Stored)
        return Retry::Aside;
    if (!refusesName(again))
        return Retry::Failed;
    learnInPlace(1);
    return Retry::InPlace;
}

StoreAside::Outcome StoreAside::learnInPlace(qsizetype done)
{
    m_run.record().useReplacing(ServerRecord::Replacing::InPlace);
    m_status(OutcomeKind::ReplacedInPlace);
    m_inPlace = true;
    m_inPlaceDone = done;
    return Outcome::InPlace;
}

bool StoreAside::checkAll()
{
    const QList<qint16> results = m_session.checkAside(m_files, m_way);
    for (qsizetype i = 0; i < results.size(); ++i) {
        const qint16 result = results.at(i);
        if (result == ClientResult::PutFile::Stored)
            continue;
        // Asked together, the questions after the first went unanswered: a server that
        // takes one command at a time, as the next run will send them.
        if (result == ClientResult::TimedOut && m_way.together && i > 0)
            m_run.record().useOneCommandAtATime();
        return fail(m_files.at(i), result);
    }
    return true;
}

bool StoreAside::renameAll()
{
    const QList<qint16> results = m_session.renameAside(m_files, m_way);
    QList<qsizetype> refused;
    for (qsizetype i = 0; i < results.size(); ++i) {
        const qint16 result = results.at(i);
        if (result == ClientResult::PutFile::Stored) {
            m_renamed[i] = true;
            m_session.replaced(m_files.at(i));
        } else if (result == ClientResult::ReplaceRefused && !m_way.removeFirst) {
            refused.append(i);
        } else if (i == 0 && ClientResult::isServerRefusal(result) &&
                   result != ClientResult::ServiceClosing) {
            // The temporary it had just confirmed, it will not rename: no renames here.
            learnInPlace(0);
            return false;
        } else {
            return fail(m_files.at(i), result);
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
    const QList<qint16> results = m_session.renameAside(files, AsideWay{false, true});
    for (qsizetype i = 0; i < results.size(); ++i) {
        if (results.at(i) != ClientResult::PutFile::Stored)
            return fail(files.at(i), results.at(i));
        if (i == 0)
            m_run.record().useReplacing(ServerRecord::Replacing::RemovingFirst);
        m_renamed[refused.at(i)] = true;
        m_session.replaced(files.at(i));
    }
    return true;
}

// Every temporary not renamed goes, the deepest first, from where the stores ended; one the
// session could not remove stays in the record for the next connection.
void StoreAside::removeLeftovers()
{
    QStringList done;
    for (qsizetype i = m_files.size() - 1; i >= 0; --i) {
        // One never stored is not there; one refused may be, cut short.
        if (m_renamed.at(i) || i >= m_attempted)
            done.append(m_files.at(i).temporaryPath);
        else if (!m_run.cancelled())
            m_session.removeTemporary(m_files.at(i).temporaryPath);
    }
    m_run.record().forgetTemporaries(done);
}

bool StoreAside::fail(const PublishSession::Aside &aside, qint16 result)
{
    m_run.fail(PublishFailure::ofStore(aside.file.remotePath, result));
    return false;
}

} // namespace Kakiva
