#include "publish/PublishSession.h"

#include "platform/AppDir.h"
#include "publish/ConnectOutcome.h"
#include "publish/PublishClientFactory.h"
#include "publish/PublishFailure.h"
#include "publish/PublishRun.h"
#include "publish/RemotePaths.h"
#include "publish/client/ClientResult.h"

namespace Kakiva {

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
    QList<PutRequest> requests;
    for (const SiteFile &file : files)
        requests.append({file.localPath, argumentFor(remoteDirectoryOf(file.remotePath)), {}});
    const QList<qint16> results = m_client->PutFiles(requests);
    for (qsizetype i = 0; i < files.size(); ++i)
        settle(files.at(i), results.at(i));
    return results;
}

// A confirmed store goes into the record; a failed one gives the run its reason.
void PublishSession::settle(const SiteFile &file, qint16 result)
{
    if (result < ClientResult::PutFile::Stored) {
        m_run.fail(PublishFailure::ofStore(file.remotePath, result));
        return;
    }
    QString error;
    m_run.record().confirm(file.remotePath, file.digest, &error);
    m_run.confirmed(file.remotePath, error);
}

// RemoveFile's result for the file at remotePath: a file whose directory is gone counts as
// not there.
qint16 PublishSession::removeOnServer(const QString &remotePath)
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

bool PublishSession::remove(const QString &remotePath)
{
    const qint16 result = removeOnServer(remotePath);
    if (result != ClientResult::RemoveFile::Removed && result != ClientResult::RemoveFile::NotThere)
        return m_run.fail(PublishFailure::ofStore(remotePath, result));
    QString error;
    m_run.record().confirmRemoval(remotePath, &error);
    m_run.confirmed(remotePath, error);
    return true;
}

bool PublishSession::removeLeftover(const QString &remotePath)
{
    const qint16 result = removeOnServer(remotePath);
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
