#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace Kakiva {

class ServerRecord;

// One file of the local site and where it goes on the server.
struct SiteFile
{
    QString localPath;
    QString remotePath; // below the remote directory, '/' between names
    qint64 size = 0;
    QByteArray digest; // SHA-256 of the content; empty when the file could not be read
};

// The SHA-256 of a file's content; empty when it cannot be read.
QByteArray fileDigest(const QString &path);

// Where a file of the HTML tree goes, relative to the remote directory.
QString remotePathOf(const QString &localPath);

// The file of the HTML tree that goes to remotePath.
QString localPathOf(const QString &remotePath);

// The remote directory of a remote path: "" for the top, "2004/08" for "2004/08/17.html".
QString remoteDirectoryOf(const QString &remotePath);

// Every file of the HTML tree (hidden ones aside), pages, the style sheet and the root page
// included, ordered by directory with each directory before those below it.
QList<SiteFile> siteFiles();

// Those of files whose content differs from what record says the server holds. Empty while
// no server is set.
QList<SiteFile> unsentOf(QList<SiteFile> files, const ServerRecord &record);
QList<SiteFile> unsentFiles(const ServerRecord &record);

// The files record says are to be removed from the server that the local site still lacks
// (a page written again is sent instead), in the order they were taken off. Empty while no
// server is set. Only removals the program can vouch for are among them
// (trustedRemoval); the others are left for dropUntrustedRemovals.
QStringList pendingRemovals(const ServerRecord &record);

// remotePath, rebuilt from its checked parts, when it may be removed from record's server:
// the name of a page the generator writes (generatedPagePath) or of a day's picture
// (dayPicturePath) that the server confirmed holding. A record read back from a backup or written
// by anyone else is not believed about anything more: nullopt for whatever else it asks to remove.
std::optional<QString> trustedRemoval(const ServerRecord &record, const QString &remotePath);

// The removals of record that are not trustedRemoval, in their order.
QStringList untrustedRemovals(const ServerRecord &record);

// The days of one month whose day page is unsent, ascending.
QList<int> unsentDays(const ServerRecord &record, int year, int month);

} // namespace Kakiva
