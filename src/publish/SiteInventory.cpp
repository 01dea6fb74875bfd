#include "publish/SiteInventory.h"

#include "platform/WholeFile.h"

#include "diary/DateStrings.h"
#include "pages/PagePaths.h"
#include "pages/SitePageName.h"
#include "publish/ServerRecord.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QHash>
#include <QMutex>

#include <algorithm>

namespace Kakiva {

namespace {

bool isUnsent(const ServerRecord &record, const QString &localPath)
{
    return !record.holds(remotePathOf(localPath), fileDigest(localPath));
}

// Directory first, so a directory's files come before those of the directories below it.
bool sendsBefore(const SiteFile &a, const SiteFile &b)
{
    const QString directoryA = remoteDirectoryOf(a.remotePath);
    const QString directoryB = remoteDirectoryOf(b.remotePath);
    if (directoryA != directoryB)
        return directoryA < directoryB;
    return a.remotePath < b.remotePath;
}

// A site of twenty years holds thousands of pages; the digest of one that has not changed
// since it was last read is taken from memory. Every save writes a new file (renamed over
// the old one), which changes its change time, so a rewritten page is always read again.
struct KnownDigest
{
    qint64 size = -1;
    QDateTime modified;
    QDateTime changed;
    QByteArray digest;
};

QByteArray knownDigest(const QFileInfo &info)
{
    static QMutex lock;
    static QHash<QString, KnownDigest> known;
    const QString path = info.absoluteFilePath();
    const QDateTime modified = info.lastModified();
    const QDateTime changed = info.metadataChangeTime();
    {
        const QMutexLocker locker(&lock);
        const auto found = known.constFind(path);
        if (found != known.constEnd() && found->size == info.size() &&
            found->modified == modified && found->changed == changed)
            return found->digest;
    }
    const QByteArray digest = fileDigest(path);
    const QMutexLocker locker(&lock);
    known.insert(path, {info.size(), modified, changed, digest});
    return digest;
}

} // namespace

QByteArray fileDigest(const QString &path)
{
    // A page is a few kilobytes; reading it whole also refuses what is no regular file.
    QByteArray bytes;
    if (readFileWhole(path, &bytes) != FileRead::Done)
        return {};
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

QString remotePathOf(const QString &localPath)
{
    return QDir(htmlRootPath()).relativeFilePath(localPath);
}

QString localPathOf(const QString &remotePath)
{
    return htmlRootPath() + QLatin1Char('/') + remotePath;
}

QString remoteDirectoryOf(const QString &remotePath)
{
    const qsizetype slash = remotePath.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : remotePath.left(slash);
}

QList<SiteFile> siteFiles()
{
    QList<SiteFile> files;
    QDirIterator it(htmlRootPath(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info = it.nextFileInfo();
        files.append(
            {info.filePath(), remotePathOf(info.filePath()), info.size(), knownDigest(info)});
    }
    std::sort(files.begin(), files.end(), sendsBefore);
    return files;
}

QList<SiteFile> unsentFiles(const ServerRecord &record)
{
    return record.destination().isSet() ? unsentOf(siteFiles(), record) : QList<SiteFile>();
}

QList<SiteFile> unsentOf(QList<SiteFile> files, const ServerRecord &record)
{
    if (!record.destination().isSet())
        return {};
    files.removeIf(
        [&](const SiteFile &file) { return record.holds(file.remotePath, file.digest); });
    return files;
}

QStringList pendingRemovals(const ServerRecord &record)
{
    if (!record.destination().isSet())
        return {};
    QStringList removals;
    for (const QString &path : record.removals()) {
        const std::optional<QString> page = trustedRemoval(record, path);
        if (page && !QFileInfo::exists(localPathOf(*page)))
            removals.append(*page);
    }
    return removals;
}

std::optional<QString> trustedRemoval(const ServerRecord &record, const QString &remotePath)
{
    std::optional<QString> page = generatedPagePath(remotePath);
    if (!page)
        page = dayPicturePath(remotePath);
    if (!page || *page != remotePath || record.digestOf(*page).isEmpty())
        return std::nullopt;
    return page;
}

QStringList untrustedRemovals(const ServerRecord &record)
{
    QStringList untrusted;
    for (const QString &path : record.removals()) {
        if (!trustedRemoval(record, path))
            untrusted.append(path);
    }
    return untrusted;
}

QList<int> unsentDays(const ServerRecord &record, int year, int month)
{
    if (!record.destination().isSet())
        return {};
    const QString yearText = dateFieldText(year);
    const QString monthText = twoDigitDateField(dateFieldText(month));
    QList<int> days;
    for (int day = 1; day <= 31; ++day) {
        const QString page =
            dayPagePath(yearText, monthText, twoDigitDateField(dateFieldText(day)));
        if (QFileInfo::exists(page) && isUnsent(record, page))
            days.append(day);
    }
    return days;
}

} // namespace Kakiva
