#include "publish/ServerRecord.h"

#include "platform/AppDir.h"
#include "platform/WholeFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QMutexLocker>

namespace Kakiva {

namespace {

const QString DestinationsKey = QStringLiteral("destinations");
const QString ServerField = QStringLiteral("server");
const QString UserField = QStringLiteral("user");
const QString DirectoryField = QStringLiteral("directory");
const QString FilesField = QStringLiteral("files");
const QString ClassicOrderField = QStringLiteral("classicOrder");
const QString RemovalsField = QStringLiteral("removals");
const QString ReplacingField = QStringLiteral("replacing");
const QString OneCommandField = QStringLiteral("oneCommandAtATime");
const QString DigestsField = QStringLiteral("hashSha256");
const QString TemporariesField = QStringLiteral("temporaries");
const QString RemovingFirstValue = QStringLiteral("removingFirst");
const QString InPlaceValue = QStringLiteral("inPlace");

// One lock for every instance: a confirmation reads, changes and rewrites the whole file.
QMutex &fileLock()
{
    static QMutex lock;
    return lock;
}

// A missing or damaged file reads as empty: everything then counts as unsent and is sent
// again, which is safe.
QJsonArray readDestinations()
{
    QByteArray bytes;
    if (readFileWhole(ServerRecord::filePath(), &bytes) != FileRead::Done)
        return {};
    return QJsonDocument::fromJson(bytes).object().value(DestinationsKey).toArray();
}

bool isEntryOf(const QJsonObject &entry, const PublishDestination &destination)
{
    return entry.value(ServerField).toString() == destination.server &&
           entry.value(UserField).toString() == destination.user &&
           entry.value(DirectoryField).toString() == destination.directory;
}

qsizetype indexOf(const QJsonArray &destinations, const PublishDestination &destination)
{
    for (qsizetype i = 0; i < destinations.size(); ++i) {
        if (isEntryOf(destinations.at(i).toObject(), destination))
            return i;
    }
    return -1;
}

QHash<QString, QByteArray> digestsIn(const QJsonObject &files)
{
    QHash<QString, QByteArray> digests;
    for (auto it = files.begin(); it != files.end(); ++it)
        digests.insert(it.key(), QByteArray::fromHex(it.value().toString().toLatin1()));
    return digests;
}

QByteArray documentOf(const QJsonArray &destinations)
{
    return QJsonDocument(QJsonObject{{DestinationsKey, destinations}})
        .toJson(QJsonDocument::Indented);
}

void dropRemoval(QJsonObject &entry, const QString &remotePath)
{
    QJsonArray removals = entry.value(RemovalsField).toArray();
    for (qsizetype i = removals.size() - 1; i >= 0; --i) {
        if (removals.at(i).toString() == remotePath)
            removals.removeAt(i);
    }
    if (removals.isEmpty())
        entry.remove(RemovalsField);
    else
        entry.insert(RemovalsField, removals);
}

// True when entry changed.
bool addRemovals(QJsonObject &entry, const QStringList &remotePaths)
{
    const QJsonObject files = entry.value(FilesField).toObject();
    QJsonArray removals = entry.value(RemovalsField).toArray();
    bool added = false;
    for (const QString &path : remotePaths) {
        if (files.contains(path) && !removals.contains(path)) {
            removals.append(path);
            added = true;
        }
    }
    if (added)
        entry.insert(RemovalsField, removals);
    return added;
}

} // namespace

ServerRecord::ServerRecord(const PublishDestination &destination) : m_destination(destination)
{
    const QMutexLocker locker(&fileLock());
    const QJsonArray destinations = readDestinations();
    const qsizetype index = indexOf(destinations, destination);
    if (index < 0)
        return;
    adopt(destinations.at(index).toObject());
}

void ServerRecord::adopt(const QJsonObject &entry)
{
    m_digests = digestsIn(entry.value(FilesField).toObject());
    m_removals.clear();
    for (const QJsonValue &path : entry.value(RemovalsField).toArray())
        m_removals.append(path.toString());
    m_pipelining = !entry.value(ClassicOrderField).toBool();
    const QString replacing = entry.value(ReplacingField).toString();
    m_replacing = replacing == InPlaceValue        ? Replacing::InPlace
                  : replacing == RemovingFirstValue ? Replacing::RemovingFirst
                                                    : Replacing::Renaming;
    m_commandsTogether = !entry.value(OneCommandField).toBool();
    m_offersDigests = entry.value(DigestsField).toBool();
    m_temporaries.clear();
    for (const QJsonValue &path : entry.value(TemporariesField).toArray())
        m_temporaries.append(path.toString());
}

QString ServerRecord::filePath()
{
    return applicationPath(ServerRecordFileName);
}

QByteArray ServerRecord::digestOf(const QString &remotePath) const
{
    return m_digests.value(remotePath);
}

bool ServerRecord::holds(const QString &remotePath, const QByteArray &digest) const
{
    return !digest.isEmpty() && m_digests.value(remotePath) == digest;
}

int ServerRecord::size() const
{
    return static_cast<int>(m_digests.size());
}

bool ServerRecord::confirm(const QString &remotePath, const QByteArray &digest, QString *error)
{
    return update(
        [&](QJsonObject &entry) {
            QJsonObject files = entry.value(FilesField).toObject();
            files.insert(remotePath, QString::fromLatin1(digest.toHex()));
            entry.insert(FilesField, files);
            dropRemoval(entry, remotePath); // a page written again stays
        },
        error);
}

bool ServerRecord::forget(const QStringList &remotePaths, QString *error)
{
    if (remotePaths.isEmpty())
        return true;
    return update(
        [&](QJsonObject &entry) {
            QJsonObject files = entry.value(FilesField).toObject();
            for (const QString &path : remotePaths)
                files.remove(path);
            entry.insert(FilesField, files);
        },
        error);
}

QStringList ServerRecord::removals() const
{
    return m_removals;
}

bool ServerRecord::confirmRemoval(const QString &remotePath, QString *error)
{
    return update(
        [&](QJsonObject &entry) {
            QJsonObject files = entry.value(FilesField).toObject();
            files.remove(remotePath);
            entry.insert(FilesField, files);
            dropRemoval(entry, remotePath);
        },
        error);
}

bool ServerRecord::discardRemoval(const QString &remotePath, QString *error)
{
    return update([&](QJsonObject &entry) { dropRemoval(entry, remotePath); }, error);
}

bool ServerRecord::rememberRemovals(const QStringList &remotePaths, QString *error)
{
    const QMutexLocker locker(&fileLock());
    QJsonArray destinations = readDestinations();
    bool changed = false;
    for (qsizetype i = 0; i < destinations.size(); ++i) {
        QJsonObject entry = destinations.at(i).toObject();
        if (addRemovals(entry, remotePaths)) {
            destinations.replace(i, entry);
            changed = true;
        }
    }
    return !changed || writeFileWhole(filePath(), documentOf(destinations), error);
}

bool ServerRecord::pipelining() const
{
    const QMutexLocker locker(&fileLock()); // sessions of one run read it as others learn
    return m_pipelining;
}

bool ServerRecord::useClassicOrder(QString *error)
{
    return update([](QJsonObject &entry) { entry.insert(ClassicOrderField, true); }, error);
}

ServerRecord::Replacing ServerRecord::replacing() const
{
    const QMutexLocker locker(&fileLock());
    return m_replacing;
}

bool ServerRecord::useReplacing(Replacing way, QString *error)
{
    return update(
        [way](QJsonObject &entry) {
            if (way == Replacing::Renaming)
                entry.remove(ReplacingField);
            else
                entry.insert(ReplacingField, way == Replacing::InPlace ? InPlaceValue
                                                                      : RemovingFirstValue);
        },
        error);
}

bool ServerRecord::commandsTogether() const
{
    const QMutexLocker locker(&fileLock());
    return m_commandsTogether;
}

bool ServerRecord::useOneCommandAtATime(QString *error)
{
    return update([](QJsonObject &entry) { entry.insert(OneCommandField, true); }, error);
}

bool ServerRecord::offersDigests() const
{
    const QMutexLocker locker(&fileLock());
    return m_offersDigests;
}

bool ServerRecord::useDigests(bool offered, QString *error)
{
    if (offered == offersDigests())
        return true;
    return update(
        [offered](QJsonObject &entry) {
            if (offered)
                entry.insert(DigestsField, true);
            else
                entry.remove(DigestsField);
        },
        error);
}

QStringList ServerRecord::temporaries() const
{
    const QMutexLocker locker(&fileLock());
    return m_temporaries;
}

bool ServerRecord::rememberTemporaries(const QStringList &remotePaths, QString *error)
{
    return update(
        [&](QJsonObject &entry) {
            QJsonArray paths = entry.value(TemporariesField).toArray();
            for (const QString &path : remotePaths) {
                if (!paths.contains(path))
                    paths.append(path);
            }
            entry.insert(TemporariesField, paths);
        },
        error);
}

bool ServerRecord::forgetTemporaries(const QStringList &remotePaths, QString *error)
{
    return update(
        [&](QJsonObject &entry) {
            QJsonArray kept;
            for (const QJsonValue &path : entry.value(TemporariesField).toArray()) {
                if (!remotePaths.contains(path.toString()))
                    kept.append(path);
            }
            if (kept.isEmpty())
                entry.remove(TemporariesField);
            else
                entry.insert(TemporariesField, kept);
        },
        error);
}

// Rereads the file, changes this destination's entry and writes the file whole; what this
// instance knows then follows the entry as written.
bool ServerRecord::update(const std::function<void(QJsonObject &entry)> &change, QString *error)
{
    const QMutexLocker locker(&fileLock());
    QJsonArray destinations = readDestinations();
    const qsizetype index = indexOf(destinations, m_destination);
    QJsonObject entry = index >= 0 ? destinations.at(index).toObject()
                                   : QJsonObject{{ServerField, m_destination.server},
                                                 {UserField, m_destination.user},
                                                 {DirectoryField, m_destination.directory}};
    change(entry);
    if (index >= 0)
        destinations.replace(index, entry);
    else
        destinations.append(entry);
    if (!writeFileWhole(filePath(), documentOf(destinations), error))
        return false;
    adopt(entry);
    return true;
}

} // namespace Kakiva
