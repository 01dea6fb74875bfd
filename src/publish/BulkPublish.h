#pragma once

#include "publish/PublishDestination.h"
#include "publish/PublishResult.h"
#include "publish/ServerIdentityTrust.h"
#include "publish/SiteInventory.h"
#include "publish/client/WireStats.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <functional>

namespace Kakiva {

class PublishClient;

// How far a bulk publish has got.
struct BulkProgress
{
    int filesDone = 0;
    int filesTotal = 0;
    qint64 bytesDone = 0;
    qint64 bytesTotal = 0;
    QString currentFile; // remote path of the file last begun
};

struct BulkOutcome
{
    using Result = PublishResult;
    Result result = Result::Failed;
    QString reason;          // why it failed, for the user
    QStringList confirmed;   // remote paths the server confirmed, in the order it did
    int logins = 0;          // sessions that logged in
    int refusedSessions = 0; // further sessions the server would not take
    WireStats wire;          // all sessions together
};

// Sends a list of files of the site to one destination. One session logs in first; once it
// is in, up to MaxSessions - 1 more join it (fewer when there are fewer files), and any the
// server refuses are simply done without. Each session changes directory once per directory
// it works in, with one command from wherever it is, makes a directory only when it cannot
// enter it (each missing directory once, by one session), and sends each file with one
// PutFile. Every file the server confirms goes into the record at once, so a run that is
// cancelled or fails leaves a record the next run resumes from.
//
// The sessions speak FTP or SFTP, as the destination's server says (makePublishClient). A
// TLS certificate that does not verify is accepted when pinned, an SSH host key when a
// known-hosts file holds it; anything else is put to the trust questions
// (ServerIdentityTrust), once for all sessions. Stores send their data right behind STOR unless the
// record says the destination cannot take that; a session that had to fall back to the
// classic order records it for every later run.
//
// run() blocks; call it from a worker thread. The sessions run on threads of their own.
class BulkPublish
{
public:
    static constexpr int MaxSessions = 4;
    using ProgressSink = std::function<void(const BulkProgress &)>;

    BulkPublish(PublishDestination destination, QString password, QList<SiteFile> files);

    // Raised from another thread to stop every session within a fraction of a second.
    void setCancelFlag(const std::atomic_bool *cancel) { m_cancel = cancel; }
    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }
    void setMaxSessions(int sessions) { m_maxSessions = sessions; }
    // Asked, from a session thread, about a certificate that is neither verified nor pinned,
    // or a host key no known-hosts file holds.
    using TrustQuestions = ServerIdentityTrust::Questions;
    void setTrustQuestions(TrustQuestions ask) { m_ask = std::move(ask); }
    // Called from the session threads, after each change.
    void setProgressSink(ProgressSink sink) { m_progress = std::move(sink); }

    BulkOutcome run();

private:
    struct Run;
    struct Session;

    void runSession(Run &run, int index) const;
    bool logIn(Run &run, PublishClient &client, int index) const;
    void startHelpers(Run &run) const;
    bool sendFiles(Run &run, Session &session) const;
    bool enter(Run &run, Session &session, const QString &directory) const;
    bool makeChain(Run &run, Session &session, const QString &directory) const;
    bool changeTo(Run &run, Session &session, const QString &directory) const;
    bool cancelled() const { return m_cancel && *m_cancel; }

    PublishDestination m_destination;
    QString m_password;
    QList<SiteFile> m_files;
    const std::atomic_bool *m_cancel = nullptr;
    std::chrono::milliseconds m_timeout{25000};
    int m_maxSessions = MaxSessions;
    ProgressSink m_progress;
    TrustQuestions m_ask;
};

} // namespace Kakiva
