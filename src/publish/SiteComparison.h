#pragma once

#include "publish/SiteInventory.h"
#include "publish/client/RemoteEntry.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace Kakiva {

// What the server holds in the directories a check listed: for each directory (below the
// remote directory, "" for itself) its entries, or nullopt when the directory is not there.
using ServerListings = QHash<QString, std::optional<QList<RemoteEntry>>>;

// Where the server and what Kakiva knows of it part ways. Remote paths, sorted.
struct SiteDifferences
{
    QStringList missing;     // confirmed as sent, but not on the server
    QStringList changed;     // on the server, with another size or digest
    QStringList temporaries; // Kakiva's own temporaries, left behind by a cut-short upload
    QStringList unknown;     // files Kakiva never sent there: not its business

    bool isEmpty() const
    {
        return missing.isEmpty() && changed.isEmpty() && temporaries.isEmpty() && unknown.isEmpty();
    }
};

// The remote path of name in directory ("" for the remote directory itself).
QString remotePathIn(const QString &directory, const QString &name);

// The directories a check lists: the remote directory itself and every directory of a path
// sent names, outermost first.
QStringList directoriesToCheck(const QHash<QString, QByteArray> &sent);

// Compares what the server listed with local (the site's files) and sent (what the server
// confirmed, path to digest). Only a page whose local content is the one the server confirmed
// is checked: any other is unsent already. A size the server gave must be the local file's,
// and a digest it gave the local one. A file of a listed directory that is neither sent, nor
// a file of the local site (which the next send replaces), nor a temporary is unknown.
SiteDifferences compareSite(const QList<SiteFile> &local, const QHash<QString, QByteArray> &sent,
                            const ServerListings &listings);

} // namespace Kakiva
