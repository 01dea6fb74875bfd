#pragma once

#include "publish/PublishDestination.h"
#include "publish/PublishResult.h"
#include "publish/RemoteDirectoryRegistry.h"
#include "publish/ServerIdentityTrust.h"
#include "publish/ServerRecord.h"

#include <QMutex>
#include <QString>

#include <atomic>
#include <chrono>

namespace Kakiva {

// What a publishing job is given: where to, the password (the caller reads it once per run,
// from wherever it is kept), how long a call may wait, the flag that cancels it, and whom to
// ask about a server identity that does not check out on its own (unset: never trusted).
struct PublishRequest
{
    PublishDestination destination;
    QString password;
    std::chrono::milliseconds timeout{25000};
    const std::atomic_bool *cancel = nullptr; // raised from another thread
    ServerIdentityTrust::Questions ask = {};
};

// What the sessions of one upload attempt or one publish of many files share: the request,
// the record of what the server holds, the trust decisions, the directories known to exist,
// and the outcome as it builds up. Safe to use from several session threads.
class PublishRun
{
public:
    explicit PublishRun(PublishRequest request);

    const PublishRequest &request() const { return m_request; }
    bool cancelled() const { return m_request.cancel && *m_request.cancel; }
    ServerRecord &record() { return m_record; }
    ServerIdentityTrust &trust() { return m_trust; }
    RemoteDirectoryRegistry &directories() { return m_directories; }

    // Keeps the first failure; false, so a failing step can end with "return run.fail(...)".
    bool fail(const PublishFailure &failure);
    PublishFailure failure();
    // A store the server confirmed; recordError is set when sent.json did not take it.
    void confirmed(const QString &remotePath, const QString &recordError);
    void loggedIn(bool in, bool required);
    // The server and the program cannot work together (no algorithm or login in common).
    void incompatible() { m_incompatible = true; }
    void addWire(const WireStats &stats);

    // How the run ended: cancelled, a refused identity, complete, or failed and why.
    PublishOutcome outcome(bool complete);

private:
    PublishRequest m_request;
    ServerRecord m_record;
    ServerIdentityTrust m_trust;
    RemoteDirectoryRegistry m_directories;
    QMutex m_mutex; // guards the outcome
    PublishOutcome m_outcome;
    std::atomic_bool m_incompatible{false};
};

} // namespace Kakiva
