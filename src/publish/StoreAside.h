#pragma once

#include "publish/OutcomeKind.h"
#include "publish/PublishSession.h"
#include "publish/SiteInventory.h"

#include <QList>
#include <QString>

#include <functional>

namespace Kakiva {

class PublishRun;

// Sends pages one at a time so that the server never holds a broken one: each is stored under
// a temporary name of ours in its own directory, every store having had its final reply the
// sizes the server holds are asked all together, and only when all match are the temporaries
// renamed over the pages, all together; only then do the pages go into the record. A
// mismatch or a refused rename fails the run with every page the server held untouched, and
// our temporaries are removed (or, where that failed, at the next connection: the record
// names them before they are stored).
//
// What a server turns out to need is remembered in the record: one that will not rename over
// a file gets the page removed just before the rename; one that answers commands sent
// together only one at a time (the wait for the second answer runs out) gets them one by one
// from the next run on; one that takes no temporaries or renames at all (an upload-only
// account) gets the pages stored over the old ones, as the caller does for it.
class StoreAside
{
public:
    using Enter = std::function<bool(const QString &directory)>;
    using StatusSink = std::function<void(OutcomeKind stage)>;

    // What one failed file does to the others: keeps every page as it was (an upload of one
    // change), or fails alone (a publish of many files).
    enum class Failing
    {
        AllOrNone,
        EachAlone,
    };

    enum class Outcome
    {
        Replaced, // every file, or under EachAlone every one that did not fail alone
        Failed,
        // The server takes no temporaries or renames: the first inPlaceDone() files are up
        // (stored over their pages), the rest are the caller's to store so.
        InPlace,
    };

    StoreAside(PublishRun &run, PublishSession &session, Enter enter, StatusSink status,
               Failing failing = Failing::AllOrNone);

    // last: the run ends with these files; the last status is then Sent.
    Outcome send(const QList<SiteFile> &files, bool last);
    qsizetype inPlaceDone() const { return m_inPlaceDone; }
    // One per file: 1 in place, a failure, or Withheld (not put in place, nor failed itself).
    const QList<qint16> &results() const { return m_results; }

private:
    enum class Retry
    {
        Failed,
        Aside,
        InPlace
    };

    QList<qsizetype> going() const;
    bool storeAll();
    Retry retryFirst(qint16 result, qsizetype index);
    void learnInPlace(qsizetype done);
    bool checkAll();
    bool renameAll();
    bool renameRemovingFirst(const QList<qsizetype> &refused);
    void replaced(qsizetype index);
    void removeLeftovers();
    bool failFile(qsizetype index, qint16 result);

    PublishRun &m_run;
    PublishSession &m_session;
    Enter m_enter;
    StatusSink m_status;
    Failing m_failing;
    QList<PublishSession::Aside> m_files; // size -1: failed
    QList<qint16> m_results;
    qsizetype m_attempted = 0; // files whose temporary was asked for
    AsideWay m_way;
    bool m_inPlace = false;
    bool m_learntRenaming = false; // a rename went through: renames are no trouble here
    qsizetype m_inPlaceDone = 0;
};

} // namespace Kakiva
