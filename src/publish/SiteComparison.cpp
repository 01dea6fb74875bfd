#include "publish/SiteComparison.h"

#include "publish/TemporaryNames.h"

#include <QSet>

#include <algorithm>

namespace Kakiva {

namespace {

const RemoteEntry *entryNamed(const QList<RemoteEntry> &entries, const QString &name)
{
    const auto found = std::find_if(entries.begin(), entries.end(),
                                    [&](const RemoteEntry &entry) { return entry.name == name; });
    return found == entries.end() ? nullptr : &*found;
}

// Where a page the server confirmed stands there now; nothing when it is as sent.
enum class Standing
{
    AsSent,
    Missing,
    Changed,
    NotListed // its directory was not listed: nothing can be said
};

Standing standingOf(const SiteFile &file, const ServerListings &listings)
{
    const QString directory = remoteDirectoryOf(file.remotePath);
    const auto listing = listings.constFind(directory);
    if (listing == listings.constEnd())
        return Standing::NotListed;
    if (!*listing)
        return Standing::Missing;
    const RemoteEntry *entry = entryNamed(**listing, file.remotePath.section(QLatin1Char('/'), -1));
    if (!entry || entry->isDirectory)
        return Standing::Missing;
    if (entry->size >= 0 && entry->size != file.size)
        return Standing::Changed;
    if (!entry->sha256.isEmpty() && entry->sha256 != file.digest)
        return Standing::Changed;
    return Standing::AsSent;
}

} // namespace

QString remotePathIn(const QString &directory, const QString &name)
{
    return directory.isEmpty() ? name : directory + QLatin1Char('/') + name;
}

QStringList directoriesToCheck(const QHash<QString, QByteArray> &sent)
{
    QSet<QString> directories{QString()};
    for (auto it = sent.begin(); it != sent.end(); ++it)
        directories.insert(remoteDirectoryOf(it.key()));
    QStringList sorted(directories.begin(), directories.end());
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

SiteDifferences compareSite(const QList<SiteFile> &local, const QHash<QString, QByteArray> &sent,
                            const ServerListings &listings)
{
    SiteDifferences differences;
    QSet<QString> localPaths;
    for (const SiteFile &file : local) {
        localPaths.insert(file.remotePath);
        if (file.digest.isEmpty() || sent.value(file.remotePath) != file.digest)
            continue;
        switch (standingOf(file, listings)) {
        case Standing::Missing:
            differences.missing.append(file.remotePath);
            break;
        case Standing::Changed:
            differences.changed.append(file.remotePath);
            break;
        default:
            break;
        }
    }
    for (auto it = listings.begin(); it != listings.end(); ++it) {
        if (!*it)
            continue;
        for (const RemoteEntry &entry : **it) {
            const QString path = remotePathIn(it.key(), entry.name);
            if (entry.isDirectory || sent.contains(path) || localPaths.contains(path))
                continue;
            (isKakivaTemporary(entry.name) ? differences.temporaries : differences.unknown)
                .append(path);
        }
    }
    for (QStringList *list : {&differences.missing, &differences.changed, &differences.temporaries,
                              &differences.unknown})
        list->sort();
    return differences;
}

} // namespace Kakiva
