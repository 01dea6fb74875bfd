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

    static QString filePath();

private:
    bool update(const std::function<void(QJsonObject &entry)> &change, QString *error);

    PublishDestination m_destination;
    void adopt(const QJsonObject &entry);

    QHash<QString, QByteArray> m_digests;
    QStringList m_removals;
    bool m_pipelining = true;
};

} // namespace Kakiva
