#pragma once

#include "publish/PublishDestination.h"

#include <QByteArray>
#include <QHash>
#include <QLatin1StringView>
#include <QString>
#include <QStringList>

#include <functional>

class QJsonObject;

namespace Kakiva {

inline constexpr QLatin1StringView ServerRecordFileName{"sent.json"};

// What the server of one destination holds, as far as it confirmed it: for each remote path
// (relative to the remote directory, '/' between names) the SHA-256 of the content it
// confirmed with a final 2xx after the last byte, and the files it holds that are to be
// removed there. The record lives in one small file of the application directory that
// holds every destination, and is rewritten whole at each confirmation, so a crash or a
// cancelled run loses nothing that was confirmed.
//
// Safe to use from several threads and from several instances at once: a confirmation
// rereads the file under a lock shared by all instances before it rewrites it.
class ServerRecord
{
public:
    // Reads what the file says about destination now.
    explicit ServerRecord(const PublishDestination &destination);

    const PublishDestination &destination() const { return m_destination; }

    // The digest confirmed at remotePath; empty when the server never confirmed it.
    QByteArray digestOf(const QString &remotePath) const;
    bool holds(const QString &remotePath, const QByteArray &digest) const;
    int size() const;
    // Every remote path the server confirmed, with its digest.
    QHash<QString, QByteArray> confirmedFiles() const { return m_digests; }

    // Records that the server confirmed content with this digest at remotePath. False when
    // the file could not be written; *error then says why.
    bool confirm(const QString &remotePath, const QByteArray &digest, QString *error = nullptr);

    // Forgets that the server holds remotePaths, so they count as unsent again: a check found
    // them missing there, or different. False when the file could not be written.
    bool forget(const QStringList &remotePaths, QString *error = nullptr);

    // The remote paths of files the server holds that were taken off the local site and are
    // to be removed there, until the server confirms the removal.
    QStringList removals() const;
    // Records that the server no longer holds remotePath (removed, or found gone).
    bool confirmRemoval(const QString &remotePath, QString *error = nullptr);
    // Forgets that remotePath is to be removed, without saying the server lost it: for a
    // removal that is not to be carried out.
    bool discardRemoval(const QString &remotePath, QString *error = nullptr);
    // Remembers, for every destination whose server holds one of remotePaths, that it is to
    // be removed there. Only files the record holds are ever removed from a server.
    static bool rememberRemovals(const QStringList &remotePaths, QString *error = nullptr);

    // Whether stores to this destination send their data right behind STOR: true until a
    // server has failed such a store in a way the classic order avoids.
    bool pipelining() const;
    // Remembers, for this destination and every later run, to wait for STOR's preliminary
    // reply. False when the file could not be written; *error then says why.
    bool useClassicOrder(QString *error = nullptr);

    // How pages are replaced on this server, as learnt of it: through a temporary renamed
    // over the page (the default), the same with the page removed just before the rename (the
    // server does not rename over a file), or by storing over the page (it takes no
    // temporaries or renames at all).
    enum class Replacing
    {
        Renaming,
        RemovingFirst,
        InPlace
    };
    Replacing replacing() const;
    bool useReplacing(Replacing way, QString *error = nullptr);
    // Whether the server takes commands sent together (false once it answered them only
    // one at a time).
    bool commandsTogether() const;
    bool useOneCommandAtATime(QString *error = nullptr);
    // Whether the server tells SHA-256 digests of what it holds (FTP's HASH), as its FEAT
    // last said: the check after the stores then compares digests rather than sizes.
    bool offersDigests() const;
    bool useDigests(bool offered, QString *error = nullptr);
    // The temporaries of an upload that may still be on the server (remote paths, below the
    // remote directory): remembered before they are stored, forgotten once renamed or removed.
    QStringList temporaries() const;
    bool rememberTemporaries(const QStringList &remotePaths, QString *error = nullptr);
    bool forgetTemporaries(const QStringList &remotePaths, QString *error = nullptr);

    static QString filePath();

private:
    bool update(const std::function<void(QJsonObject &entry)> &change, QString *error);

    PublishDestination m_destination;
    void adopt(const QJsonObject &entry);

    QHash<QString, QByteArray> m_digests;
    QStringList m_removals;
    bool m_pipelining = true;
    Replacing m_replacing = Replacing::Renaming;
    bool m_commandsTogether = true;
    bool m_offersDigests = false;
    QStringList m_temporaries;
};

} // namespace Kakiva
