#pragma once

#include "publish/PublishRun.h"
#include "publish/SiteInventory.h"

#include <QList>
#include <QString>

#include <functional>

namespace Kakiva {

class PublishSession;

// How far a bulk publish has got.
struct BulkProgress
{
    int filesDone = 0;
    int filesTotal = 0;
    qint64 bytesDone = 0;
    qint64 bytesTotal = 0;
    QString currentFile; // remote path of the file last begun
};

// Sends a list of files of the site to one destination. One session logs in first; once it
// is in, up to MaxSessions - 1 more join it (fewer when there are fewer files), and any the
// server refuses are simply done without. Each session changes directory once per directory
// it works in. Over FTP it sends the files of a directory in batches of up to MaxBatch, each
// stored aside and put in place together once the server holds all of them whole
// (StoreAside); over SFTP each file with one PutFile, which does the same for it alone. Every
// file put in place goes into the record at once, so a run that is cancelled or fails leaves
// a record the next run resumes from. Once all are in, the pages of deleted days are removed
// (carryOutRemovals). The trust questions are put once for all sessions.
//
// run() blocks; call it from a worker thread. The sessions run on threads of their own.
class BulkPublish
{
public:
    static constexpr int MaxSessions = 4;
    // Files of one directory checked and renamed together: each batch costs two waits more.
    static constexpr int MaxBatch = 32;
    using ProgressSink = std::function<void(const BulkProgress &)>;

    BulkPublish(PublishRequest request, QList<SiteFile> files);

    void setMaxSessions(int sessions) { m_maxSessions = sessions; }
    // Called from the session threads, after each change.
    void setProgressSink(ProgressSink sink) { m_progress = std::move(sink); }

    PublishOutcome run();

private:
    struct Shared;

    void runSession(Shared &shared, int index) const;
    void startHelpers(Shared &shared) const;
    void removeLeftTemporaries(Shared &shared, PublishSession &session) const;
    bool sendFiles(Shared &shared, PublishSession &session, int index) const;
    bool sendBatch(Shared &shared, PublishSession &session, const QList<SiteFile> &files,
                   qsizetype *done) const;
    bool sendInPlace(Shared &shared, PublishSession &session, const QList<SiteFile> &files,
                     qsizetype *done) const;
    bool removeDeletedDays(Shared &shared, PublishSession &session) const;
    void report(Shared &shared, const SiteFile *begun, const SiteFile *confirmed) const;

    PublishRequest m_request;
    QList<SiteFile> m_files;
    int m_maxSessions = MaxSessions;
    ProgressSink m_progress;
};

} // namespace Kakiva
