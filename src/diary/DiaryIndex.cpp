#include "diary/DiaryIndex.h"

#include "diary/DiaryRefresh.h"
#include "diary/EntrySaveNotice.h"
#include "platform/AppDir.h"

#include <QThread>

#include <algorithm>
#include <memory>

namespace Kakiva {

namespace {

bool isNewer(const IndexedEntry &entry, const QDate &date)
{
    return entry.date > date;
}

} // namespace

DiaryIndex::DiaryIndex(QObject *parent) : QObject(parent)
{
    connect(&EntrySaveNotice::instance(), &EntrySaveNotice::saved, this, &DiaryIndex::noteSaved);
}

DiaryIndex::~DiaryIndex()
{
    if (m_reader) {
        m_reader->requestInterruption();
        m_reader->wait();
        delete m_reader;
    }
}

void DiaryIndex::prepare()
{
    if (m_ready || m_reader)
        return;
    m_reader = QThread::create(
        [this, keptPath = applicationPath(KeptIndexFileName)] { refreshInWorker(keptPath); });
    connect(m_reader, &QThread::finished, this, [this] {
        m_reader->deleteLater();
        m_reader = nullptr;
    });
    m_reader->start();
}

void DiaryIndex::refreshInWorker(const QString &keptPath)
{
    QThread *reader = QThread::currentThread();
    const auto cancelled = [reader] { return reader->isInterruptionRequested(); };
    auto refreshed = std::make_shared<RefreshedDiary>(refreshDiary(keptPath, cancelled));
    // The search answers as soon as the entries are there; keeping them for the next run
    // follows on this thread. The entries kept share their texts with those handed over.
    QMetaObject::invokeMethod(
        this, [this, refreshed] { adopt(refreshed->contents); }, Qt::QueuedConnection);
    bool written = false;
    QString error;
    if (refreshed->keptIsStale && !cancelled())
        written = writeKeptIndex(keptPath, refreshed->toKeep, &error);

    QMetaObject::invokeMethod(
        this, [this, written, error] { emit indexKept(written, error); }, Qt::QueuedConnection);
}

void DiaryIndex::adopt(DiaryContents &contents)
{
    m_entries = std::move(contents.entries);
    m_unreadable = std::move(contents.unreadable);
    m_ready = true;
    // The reader may have passed these days before they were written.
    for (const QDate &date : std::exchange(m_savedWhileReading, {}))
        reread(date);
    emit ready();
}

QList<SearchHit> DiaryIndex::search(QStringView query) const
{
    const QStringList words = searchWords(query);
    QList<SearchHit> hits;
    if (!m_ready || words.isEmpty())
        return hits;
    for (const IndexedEntry &entry : m_entries) {
        if (std::optional<SearchHit> hit = matchEntry(entry, words))
            hits.append(std::move(*hit));
    }
    return hits;
}

qsizetype DiaryIndex::bytesHeld() const
{
    qsizetype bytes = qsizetype(m_entries.capacity() * sizeof(IndexedEntry));
    for (const IndexedEntry &entry : m_entries)
        bytes += entry.bytesHeld();
    return bytes;
}

void DiaryIndex::noteSaved(const QString &year, const QString &month, const QString &day)
{
    const QDate date(year.toInt(), month.toInt(), day.toInt());
    if (!date.isValid())
        return;
    if (!m_ready) {
        // Before the first reading there is nothing to bring up to date.
        if (m_reader)
            m_savedWhileReading.append(date);
        return;
    }
    reread(date);
    emit changed();
}

void DiaryIndex::reread(const QDate &date)
{
    remove(date);
    EntryReading reading = readForIndex(date);
    if (reading.outcome == EntryReading::Outcome::Unreadable) {
        m_unreadable.append(date);
    } else if (reading.outcome == EntryReading::Outcome::Read) {
        const auto at =
            std::partition_point(m_entries.begin(), m_entries.end(),
                                 [&](const IndexedEntry &e) { return isNewer(e, date); });
        m_entries.insert(at, std::move(reading.entry));
    }
}

void DiaryIndex::remove(const QDate &date)
{
    m_unreadable.removeAll(date);
    const auto at = std::partition_point(m_entries.begin(), m_entries.end(),
                                         [&](const IndexedEntry &e) { return isNewer(e, date); });
    if (at != m_entries.end() && at->date == date)
        m_entries.erase(at);
}

} // namespace Kakiva
