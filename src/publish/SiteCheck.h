#pragma once

#include "publish/PublishRun.h"
#include "publish/SiteComparison.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace Kakiva {

class PublishSession;

// How far a check has got.
struct SiteCheckProgress
{
    int directoriesDone = 0;
    int directoriesTotal = 0;
    QString currentDirectory; // below the remote directory; "" for itself
};

// What a check found and did. When the record cannot be written, the outcome's recordError
// says so: the differences are then only shown, not marked.
struct SiteCheckReport
{
    SiteDifferences differences;
    QStringList temporariesLeft; // stray temporaries the server would not remove
    int directoriesListed = 0;
    bool complete = false; // every directory was listed and the record brought up to date
};

// Checks what the server of one destination holds against the local site and the record of
// what it confirmed. One session lists the remote directory and every directory the record
// names (one listing each), asks digests where the server can tell them, and then:
// pages missing or different there are forgotten by the record, so they count as unsent
// (the calendar marks them, 未送信を送信 sends them again); Kakiva's own temporaries left
// behind are removed; anything else is only reported. Nothing the user put there is touched.
//
// run() blocks; call it from a worker thread.
class SiteCheck
{
public:
    using ProgressSink = std::function<void(const SiteCheckProgress &)>;

    SiteCheck(PublishRequest request, QList<SiteFile> local);

    // Called from the worker, after each directory.
    void setProgressSink(ProgressSink sink) { m_progress = std::move(sink); }

    PublishOutcome run();
    const SiteCheckReport &report() const { return m_report; }

private:
    bool checkWith(PublishRun &run);
    bool listAll(PublishRun &run, PublishSession &session, ServerListings *listings);
    void askDigests(PublishSession &session, ServerListings &listings,
                    const QHash<QString, QByteArray> &sent) const;
    bool settle(PublishRun &run, PublishSession &session);

    PublishRequest m_request;
    QList<SiteFile> m_local;
    ProgressSink m_progress;
    SiteCheckReport m_report;
    QString m_recordError; // sent.json did not take what the check found
};

} // namespace Kakiva
