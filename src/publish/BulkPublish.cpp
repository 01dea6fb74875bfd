#include "publish/BulkPublish.h"

#include "platform/AppDir.h"
#include "publish/BulkWorkQueue.h"
#include "publish/PublishClientFactory.h"
#include "publish/PublishFailure.h"
#include "publish/RemoteDirectoryRegistry.h"
#include "publish/RemotePaths.h"
#include "publish/ServerRecord.h"
#include "publish/UploadStatus.h"
#include "publish/client/ClientResult.h"

#include <QMutex>
#include <QMutexLocker>
#include <QThread>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

namespace Kakiva {

// What the sessions of one run share.
struct BulkPublish::Run
{
    Run(const QList<SiteFile> &files, const PublishDestination &destination,
        ServerIdentityTrust::Questions ask, CertificateTrust::CancelCheck cancelled)
        : queue(files), record(destination), trust(std::move(ask), std::move(cancelled))
    {
        progress.filesTotal = static_cast<int>(files.size());
        for (const SiteFile &file : files)
            progress.bytesTotal += file.size;
    }

    BulkWorkQueue queue;
    RemoteDirectoryRegistry directories;
    ServerRecord record;
    ServerIdentityTrust trust;
    std::vector<std::unique_ptr<QThread>> helpers; // started and joined by session 0 only

    QMutex mutex; // guards the two below
    BulkProgress progress;
    BulkOutcome outcome;

    // False, so a failing step can end with "return run.fail(...)".
    bool fail(const QString &reason)
    {
        const QMutexLocker locker(&mutex);
        if (outcome.reason.isEmpty())
            outcome.reason = reason;
        return false;
    }
};

struct BulkPublish::Session
{
    int index = 0;
    PublishClient *client = nullptr;
    std::optional<QString> current; // below the remote directory; nullopt: the login directory
};

BulkPublish::BulkPublish(PublishDestination destination, QString password, QList<SiteFile> files)
    : m_destination(std::move(destination)), m_password(std::move(password)),
      m_files(std::move(files))
{
}

BulkOutcome BulkPublish::run()
{
    Run run(m_files, m_destination, m_ask, [this] { return cancelled(); });
    if (m_progress)
        m_progress(run.progress);
    runSession(run, 0);
    for (const auto &helper : run.helpers)
        helper->wait();

    BulkOutcome outcome = run.outcome;
    if (cancelled())
        outcome.result = BulkOutcome::Result::Cancelled;
    else if (run.trust.refusal() == ServerIdentityTrust::Refusal::Certificate)
        outcome.result = BulkOutcome::Result::CertificateRefused;
    else if (run.trust.refusal() == ServerIdentityTrust::Refusal::HostKey)
        outcome.result = BulkOutcome::Result::HostKeyRefused;
    else if (outcome.confirmed.size() == m_files.size())
        outcome.result = BulkOutcome::Result::Succeeded;
    else if (outcome.reason.isEmpty())
        outcome.reason = UploadStatus::Error;
    if (outcome.result == BulkOutcome::Result::Succeeded)
        outcome.reason.clear();
    return outcome;
}

void BulkPublish::runSession(Run &run, int index) const
{
    const std::unique_ptr<PublishClient> owned = makePublishClient(m_destination.server);
    PublishClient &client = *owned;
    client.setCancelFlag(m_cancel);
    client.setTimeout(m_timeout);
    client.setPipelining(run.record.pipelining());
    client.setServerTrust(run.trust.decisions());
    client.OpenLog(applicationPath(FtpLogFileName), 1);
    if (!logIn(run, client, index))
        return;
    if (index == 0)
        startHelpers(run);

    Session session{index, &client, std::nullopt};
    if (sendFiles(run, session)) {
        client.Close();
        client.CloseLog();
    }
    // Unrecorded, a later run only learns it again.
    if (client.fellBackToClassic() && run.record.pipelining())
        run.record.useClassicOrder();
    const WireStats stats = client.wireStats();
    const QMutexLocker locker(&run.mutex);
    run.outcome.wire.commandsSent += stats.commandsSent;
    run.outcome.wire.roundTrips += stats.roundTrips;
    run.outcome.wire.storesResent += stats.storesResent;
}

bool BulkPublish::logIn(Run &run, PublishClient &client, int index) const
{
    const qint16 connected = client.Connect(m_destination.server, m_destination.user, m_password);
    const bool loggedIn = !classifyConnectResult(connected).failed && !cancelled();
    {
        const QMutexLocker locker(&run.mutex);
        if (loggedIn)
            ++run.outcome.logins;
        else if (index > 0)
            ++run.outcome.refusedSessions; // the server takes fewer sessions: do without
    }
    if (!loggedIn && index == 0) {
        const QString refused = refusalStatus(run.trust.refusal());
        run.fail(refused.isEmpty() ? PublishFailure::ofConnect(connected) : refused);
        if (classifyConnectResult(connected).final && !cancelled()) {
            const QMutexLocker locker(&run.mutex);
            run.outcome.result = BulkOutcome::Result::Incompatible;
        }
    }
    return loggedIn;
}

// Helpers only once the first session is in: a wrong password is then tried once, not once
// per session.
void BulkPublish::startHelpers(Run &run) const
{
    const int sessions = std::clamp(static_cast<int>(m_files.size()), 1, m_maxSessions);
    for (int index = 1; index < sessions; ++index) {
        run.helpers.emplace_back(QThread::create([this, &run, index] { runSession(run, index); }));
        run.helpers.back()->start();
    }
}

bool BulkPublish::sendFiles(Run &run, Session &session) const
{
    while (const std::optional<SiteFile> file = run.queue.take(session.index)) {
        const auto giveBack = [&] {
            run.queue.putBack(*file);
            run.queue.release(session.index);
            return false;
        };
        if (cancelled() || !enter(run, session, remoteDirectoryOf(file->remotePath)))
            return giveBack();
        {
            const QMutexLocker locker(&run.mutex);
            run.progress.currentFile = file->remotePath;
            if (m_progress)
                m_progress(run.progress);
        }
        const qint16 result = session.client->PutFile(file->localPath, QString());
        if (result != ClientResult::Stored) {
            run.fail(PublishFailure::ofStore(file->remotePath, result));
            if (ClientResult::failedForThisFileAlone(result))
                continue;
            return giveBack();
        }
        QString error;
        if (!run.record.confirm(file->remotePath, file->digest, &error))
            return run.fail(PublishFailure::ofRecord(error));
        const QMutexLocker locker(&run.mutex);
        run.outcome.confirmed.append(file->remotePath);
        ++run.progress.filesDone;
        run.progress.bytesDone += file->size;
        if (m_progress)
            m_progress(run.progress);
    }
    return !cancelled();
}

bool BulkPublish::enter(Run &run, Session &session, const QString &directory) const
{
    if (session.current == directory)
        return true;
    const QString argument =
        remoteDirectoryArgument(m_destination.directory, session.current, directory);
    const qint16 result = argument.isEmpty()
                              ? ClientResult::CommandDone
                              : session.client->Command(QStringLiteral("CWD ") + argument);
    if (result == ClientResult::CommandDone) {
        session.current = directory;
        run.directories.markEntered(directory);
        return true;
    }
    if (result < 0 || cancelled())
        return run.fail(PublishFailure::ofStore(directory, result));
    return makeChain(run, session, directory) && changeTo(run, session, directory);
}

// Makes those of the directories down to directory that no session has entered or made. A
// refused "MKD " is not a failure here: the directory may exist, and the "CWD " after it
// decides.
bool BulkPublish::makeChain(Run &run, Session &session, const QString &directory) const
{
    for (const QString &path : remoteDirectoryChain(directory)) {
        switch (run.directories.claim(path, m_cancel)) {
        case RemoteDirectoryRegistry::Claim::Exists:
            continue;
        case RemoteDirectoryRegistry::Claim::Cancelled:
            return false;
        case RemoteDirectoryRegistry::Claim::Yours:
            break;
        }
        const QString argument =
            remoteDirectoryArgument(m_destination.directory, session.current, path);
        const qint16 result = session.client->Command(QStringLiteral("MKD ") + argument);
        run.directories.settle(path, result >= 0);
        if (result < 0)
            return run.fail(PublishFailure::ofStore(path, result));
    }
    return true;
}

bool BulkPublish::changeTo(Run &run, Session &session, const QString &directory) const
{
    const QString argument =
        remoteDirectoryArgument(m_destination.directory, session.current, directory);
    if (session.client->Command(QStringLiteral("CWD ") + argument) != ClientResult::CommandDone)
        return run.fail(
            PublishFailure::ofDirectory(remotePathBelow(m_destination.directory, directory)));
    session.current = directory;
    run.directories.markEntered(directory);
    return true;
}

} // namespace Kakiva
