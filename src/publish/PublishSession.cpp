#include "publish/PublishSession.h"

#include "platform/AppDir.h"
#include "publish/ConnectOutcome.h"
#include "publish/PublishClientFactory.h"
#include "publish/PublishFailure.h"
#include "publish/PublishRun.h"
#include "publish/RemotePaths.h"
#include "publish/TemporaryNames.h"
#include "publish/client/ClientResult.h"

#include <QFileInfo>

namespace Kakiva {

namespace {

// After PutFiles with temporary names: renamed, or removed by the client when the file failed
// on its own; only a session that failed may have left it on the server.
bool mayHaveLeftTemporary(qint16 result)
{
    return result < ClientResult::PutFile::Stored && !ClientResult::failedForThisFileAlone(result) &&
           result != ClientResult::Withheld && result != ClientResult::StoredDiffers &&
           result != ClientResult::ReplaceRefused;
}

} // namespace

PublishSession::PublishSession(PublishRun &run)
    : m_run(run), m_client(makePublishClient(run.request().destination.server))
{
    m_client->setCancelFlag(run.request().cancel);
    m_client->setTimeout(run.request().timeout);
    m_client->setPipelining(run.record().pipelining());
    m_client->setServerTrust(run.trust().decisions());
    m_client->OpenLog(applicationPath(FtpLogFileName), 1);
}

PublishSession::~PublishSession()
{
    // Unrecorded, a later run only learns it again.
    if (m_client->fellBackToClassic() && m_run.record().pipelining())
        m_run.record().useClassicOrder();
    // Whether the server tells digests, found out on the way (FEAT, or HASH refused).
    if (const std::optional<bool> digests = m_client->offersDigests())
        m_run.record().useDigests(*digests);
    m_run.addWire(m_client->wireStats());
    m_client->setServerTrust({});
}

bool PublishSession::logIn(bool required)
{
    const PublishDestination &to = m_run.request().destination;
    m_connectResult = m_client->Connect(to.server, to.user, m_run.request().password);
    // A connection abandoned because the window closes reads as a time-out, which it is not.
    const bool in = !classifyConnectResult(m_connectResult).failed && !m_run.cancelled();
    m_run.loggedIn(in, required);
    if (!in && required && !m_run.cancelled()) {
        const OutcomeKind refused = refusalKind(m_run.trust().refusal());
        m_run.fail(refused == OutcomeKind::None ? PublishFailure::ofConnect(m_connectResult)
                                                : PublishFailure(refused));
        if (classifyConnectResult(m_connectResult).final)
            m_run.incompatible();
    }
    return in;
}

QString PublishSession::argumentFor(const QString &directory) const
{
    return remoteDirectoryArgument(m_run.request().destination.directory, m_current, directory);
}

PublishSession::Entry PublishSession::enter(const QString &directory)
{
    if (m_current == directory)
        return Entry::AlreadyThere;
    const QString argument = argumentFor(directory);
    if (argument.isEmpty()) {
        m_current = directory;
        m_run.directories().markEntered(directory);
        return Entry::AlreadyThere;
    }
    const qint16 result = m_client->Command(QStringLiteral("CWD ") + argument);
    if (result == ClientResult::Command::Done) {
        m_current = directory;
        m_run.directories().markEntered(directory);
        return Entry::Entered;
    }
    if (m_run.cancelled())
        return Entry::Failed;
    if (result < 0) {
        m_run.fail(PublishFailure::ofStore(directory, result));
        return Entry::Failed;
    }
    // The remote directory itself is never made: building the site elsewhere would publish
    // into the wrong place.
    if (directory.isEmpty()) {
        m_run.fail(PublishFailure::ofDirectory(m_run.request().destination.directory));
        return Entry::Failed;
    }
    return makeChain(directory) && changeTo(directory) ? Entry::Made : Entry::Failed;
}

// Makes those of the directories down to directory that no session has entered or made. A
// refused "MKD " is not a failure here: the directory may exist, and the "CWD " after it
// decides.
bool PublishSession::makeChain(const QString &directory)
{
    for (const QString &path : remoteDirectoryChain(directory)) {
        switch (m_run.directories().claim(path, m_run.request().cancel)) {
        case RemoteDirectoryRegistry::Claim::Exists:
            continue;
        case RemoteDirectoryRegistry::Claim::Cancelled:
            return false;
        case RemoteDirectoryRegistry::Claim::Yours:
            break;
        }
        const qint16 result = m_client->Command(QStringLiteral("MKD ") + argumentFor(path));
        m_run.directories().settle(path, result >= 0);
        if (result < 0)
            return m_run.fail(PublishFailure::ofStore(path, result));
    }
    return true;
}

bool PublishSession::changeTo(const QString &directory)
{
    if (m_client->Command(QStringLiteral("CWD ") + argumentFor(directory)) !=
        ClientResult::Command::Done)
        return m_run.fail(PublishFailure::ofDirectory(
            remotePathBelow(m_run.request().destination.directory, directory)));
    m_current = directory;
    m_run.directories().markEntered(directory);
    return true;
}

qint16 PublishSession::store(const SiteFile &file)
{
    const qint16 result = m_client->PutFile(file.localPath, QString());
    settle(file, result);
    return result;
}

bool PublishSession::storesTogether() const
{
    return m_client->storesTogether();
}

QList<qint16> PublishSession::storeTogether(const QList<SiteFile> &files)
{
    // The client writes each file aside and renames them only when all are whole; the record
    // names the temporaries first, for a run cut short in between.
    const QString tag = newUploadTag();
    QList<PutRequest> requests;
    QStringList temporaries;
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QString directory = remoteDirectoryOf(files.at(i).remotePath);
        const QString temporary = temporaryName(tag, static_cast<int>(i));
        requests.append({files.at(i).localPath, argumentFor(directory), {}, temporary});
        temporaries.append(directory.isEmpty() ? temporary
                                               : directory + QLatin1Char('/') + temporary);
    }
    m_run.record().rememberTemporaries(temporaries);
    const QList<qint16> results = m_client->PutFiles(requests);
    QStringList settled;
    for (qsizetype i = 0; i < files.size(); ++i) {
        settle(files.at(i), results.at(i));
        if (!mayHaveLeftTemporary(results.at(i)))
            settled.append(temporaries.at(i));
    }
    m_run.record().forgetTemporaries(settled);
    return results;
}

// A confirmed store goes into the record; a failed one gives the run its reason.
void PublishSession::settle(const SiteFile &file, qint16 result)
{
    if (result < ClientResult::PutFile::Stored) {
        // A file left aside for another's failure is not the reason; that one is.
        if (result != ClientResult::Withheld)
            m_run.fail(PublishFailure::ofStore(file.remotePath, result));
        return;
    }
    QString error;
    m_run.record().confirm(file.remotePath, file.digest, &error);
    m_run.confirmed(file.remotePath, error);
}

bool PublishSession::remove(const QString &remotePath)
{
    const qint16 result = removeAt(remotePath);
    if (result != ClientResult::RemoveFile::Removed && result != ClientResult::RemoveFile::NotThere)
        return m_run.fail(PublishFailure::ofStore(remotePath, result));
    QString error;
    m_run.record().confirmRemoval(remotePath, &error);
    m_run.confirmed(remotePath, error);
    return true;
}

// RemoveFile of remotePath, from its directory; a directory that is gone holds nothing.
qint16 PublishSession::removeAt(const QString &remotePath)
{
    const QString directory = remoteDirectoryOf(remotePath);
    if (m_current != directory) {
        const QString argument = argumentFor(directory);
        const qint16 entered = argument.isEmpty()
                                   ? ClientResult::Command::Done
                                   : m_client->Command(QStringLiteral("CWD ") + argument);
        if (entered < 0)
            return entered;
        if (entered == ClientResult::Command::Done)
            m_current = directory;
    }
    return m_current == directory ? m_client->RemoveFile(remotePath.section(QLatin1Char('/'), -1))
                                  : ClientResult::RemoveFile::NotThere;
}

qint16 PublishSession::storeAside(Aside *aside)
{
    aside->size = QFileInfo(aside->file.localPath).size();
    return m_client->PutFile(aside->file.localPath,
                             aside->temporaryPath.section(QLatin1Char('/'), -1));
}

// One command reaches every file from where the session is: "../2004/.x.tmp".
QString PublishSession::pathFromHere(const QString &remotePath) const
{
    const QString argument = argumentFor(remoteDirectoryOf(remotePath));
    const QString name = remotePath.section(QLatin1Char('/'), -1);
    return argument.isEmpty() ? name : argument + QLatin1Char('/') + name;
}

QList<AsideFile> PublishSession::fromHere(const QList<Aside> &files) const
{
    QList<AsideFile> found;
    for (const Aside &aside : files)
        found.append({pathFromHere(aside.temporaryPath), pathFromHere(aside.file.remotePath),
                      aside.size, aside.file.digest});
    return found;
}

QList<qint16> PublishSession::checkAside(const QList<Aside> &files, AsideWay way)
{
    return m_client->CheckFiles(fromHere(files), way);
}

QList<qint16> PublishSession::renameAside(const QList<Aside> &files, AsideWay way)
{
    return m_client->RenameFiles(fromHere(files), way);
}

void PublishSession::replaced(const Aside &aside)
{
    settle(aside.file, ClientResult::PutFile::Stored);
}

bool PublishSession::removeTemporary(const QString &temporaryPath)
{
    const qint16 result = removeAt(temporaryPath);
    // A temporary the server refuses to remove is not asked about again: it is hidden, and
    // no reader is sent to it.
    if (result >= 0 || ClientResult::isServerRefusal(result))
        m_run.record().forgetTemporaries({temporaryPath});
    return result == ClientResult::RemoveFile::Removed ||
           result == ClientResult::RemoveFile::NotThere;
}

bool PublishSession::removeLeftover(const QString &remotePath)
{
    const qint16 result = removeAt(remotePath);
    if (result == ClientResult::RemoveFile::Removed || result == ClientResult::RemoveFile::NotThere)
        return true;
    if (!ClientResult::failedForThisFileAlone(result))
        m_run.fail(PublishFailure::ofStore(remotePath, result));
    return false;
}

qint16 PublishSession::list(const QString &directory, QList<RemoteEntry> *entries)
{
    return m_client->ListDirectory(argumentFor(directory), entries);
}

QList<QByteArray> PublishSession::digests(const QString &directory, const QStringList &names)
{
    return m_client->FileDigests(argumentFor(directory), names);
}

void PublishSession::close()
{
    m_client->Close();
    m_client->CloseLog();
}

} // namespace Kakiva
