#pragma once

#include "publish/SiteInventory.h"
#include "publish/client/PublishClient.h"
#include "publish/client/RemoteEntry.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace Kakiva {

class PublishClient;
class PublishRun;

// One client of a publishing run, speaking FTP or SFTP as the destination's server says
// (makePublishClient), with the run's time-out, cancel flag and trust decisions. Stores send
// their data right behind STOR unless the record says the destination cannot take that; a
// session that had to fall back to the classic order records it, once it ends, for every
// later run. Each step that fails gives the run its reason.
class PublishSession
{
public:
    enum class Entry
    {
        AlreadyThere, // nothing sent
        Entered,      // with one "CWD "
        Made,         // after making what was missing
        Failed
    };

    explicit PublishSession(PublishRun &run);
    ~PublishSession();
    PublishSession(const PublishSession &) = delete;
    PublishSession &operator=(const PublishSession &) = delete;

    // Connects and logs in; required: a refusal fails the run (a further session of a run
    // that is already in may be refused).
    bool logIn(bool required = true);
    qint16 connectResult() const { return m_connectResult; }

    // Changes to directory below the remote directory ("" for the remote directory itself)
    // with one command from wherever the session is. A directory it cannot enter is made,
    // with those above it no session has entered or made, each once per run.
    Entry enter(const QString &directory);

    // PutFile, into the directory the session is in. A confirmed store goes into the record
    // at once; a record that cannot be written does not stop the run.
    qint16 store(const SiteFile &file);

    // Whether storeTogether shares the files' waits; otherwise it is store, one at a time.
    bool storesTogether() const;
    // store for each file, into its own directory (which must exist) without changing the
    // session's, the requests of all on the wire together. One result per file, in order.
    QList<qint16> storeTogether(const QList<SiteFile> &files);

    // Removes the file at remotePath from the server and then from the record's removals. A
    // file already gone, or whose directory is gone, counts as removed; no directory is made.
    bool remove(const QString &remotePath);

    // Storing aside: a page stored under temporaryPath (below the remote directory, in the
    // page's own directory), its size checked, then renamed over the page.
    struct Aside
    {
        SiteFile file;
        QString temporaryPath;
        qint64 size = 0; // the bytes sent
    };
    // PutFile of aside.file under the temporary's name, into the directory the session is in;
    // the size sent is kept in *aside. Nothing goes into the record, and a failure is the
    // caller's to judge.
    qint16 storeAside(Aside *aside);
    // CheckFiles and RenameFiles, with paths from the directory the session is in. No result
    // gives the run its reason: the caller decides what a refusal means.
    QList<qint16> checkAside(const QList<Aside> &files, AsideWay way);
    QList<qint16> renameAside(const QList<Aside> &files, AsideWay way);
    // A page the server now holds: into the record.
    void replaced(const Aside &aside);
    // Removes a temporary of ours (a failed attempt's, or a cut-short one's) and forgets it in
    // the record; it is kept there only when the session failed before the server answered.
    bool removeTemporary(const QString &temporaryPath);
    // ListDirectory of directory below the remote directory, the session's own unchanged.
    qint16 list(const QString &directory, QList<RemoteEntry> *entries);
    // FileDigests of names in directory below the remote directory; empty where not offered.
    QList<QByteArray> digests(const QString &directory, const QStringList &names);
    // Removes a file Kakiva left behind, not one the record knows; a file already gone counts
    // as removed. False when the server keeps it; a failure that ends the session also gives
    // the run its reason.
    bool removeLeftover(const QString &remotePath);

    // Close and CloseLog, after the last file.
    void close();

private:
    void settle(const SiteFile &file, qint16 result);
    qint16 removeAt(const QString &remotePath);
    // The files as the client names them from the directory the session is in.
    QList<AsideFile> fromHere(const QList<Aside> &files) const;
    QString pathFromHere(const QString &remotePath) const;
    bool makeChain(const QString &directory);
    bool changeTo(const QString &directory);
    QString argumentFor(const QString &directory) const;

    PublishRun &m_run;
    std::unique_ptr<PublishClient> m_client;
    std::optional<QString> m_current; // below the remote directory; nullopt: the login directory
    qint16 m_connectResult = 0;
};

} // namespace Kakiva
