#include "diary/DiaryIndex.h"

#include "diary/DiaryRefresh.h"
#include "diary/EntrySaveNotice.h"
#include "platform/AppDir.h"

#include <QThread>

#include <algorithm>
#include <functional>
#include <iterator>
#include <memory>
#include <utility>

namespace Kakiva {

namespace {

// How long the check of every kept row waits for a first search before it begins anyway.
constexpr int CheckWaitMs = 500;

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
        letCheckStart();
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
    RefreshedDiary refreshed = refreshDiary(keptPath, cancelled);
    // The search answers as soon as the stamps are checked; checking every kept row and
    // keeping the index for the next run follow on this thread. The fresh entries kept
    // share their texts with those handed over.
    const std::vector<IndexedEntry> fresh = refreshed.fresh.entries;
    auto handed = std::make_shared<RefreshedDiary>();
    handed->rows = std::move(refreshed.rows);
    handed->keptDays = refreshed.keptDays;
    handed->fresh = std::move(refreshed.fresh);
    QMetaObject::invokeMethod(
        this,
        [this, handed] {
            adopt(std::move(handed->rows), std::move(handed->keptDays), std::move(handed->fresh));
        },
        Qt::QueuedConnection);

    if (refreshed.checkRows)
        m_checkMayStart.tryAcquire(1, CheckWaitMs);
    KeepOutcome kept = checkAndKeep(keptPath, refreshed, fresh, cancelled);
    if (kept.damaged && !cancelled()) {
        auto whole = std::make_shared<DiaryContents>(readWholeDiary(refreshed.files, cancelled));
        if (!cancelled()) {
            QMetaObject::invokeMethod(
                this, [this, whole] { adoptWholeDiary(std::move(*whole)); }, Qt::QueuedConnection);
            kept.error.clear();
            kept.written =
                writeKeptIndex(keptPath, withStamps(whole->entries, refreshed.files), &kept.error);
        }
    }
    QMetaObject::invokeMethod(
        this, [this, kept] { emit indexKept(kept.written, kept.error); }, Qt::QueuedConnection);
}

void DiaryIndex::adopt(std::unique_ptr<KeptRows> rows, std::vector<QDate> keptDays,
                       DiaryContents contents)
{
    m_kept = std::move(rows);
    m_keptDays = std::move(keptDays);
    m_entries = std::move(contents.entries);
    m_unreadable = std::move(contents.unreadable);
    m_ready = true;
    // The reader may have passed these days before they were written.
    for (const QDate &date : std::exchange(m_savedWhileReading, {}))
        reread(date);
    emit ready();
}

void DiaryIndex::adoptWholeDiary(DiaryContents contents)
{
    m_kept.reset();
    m_keptDays.clear();
    m_entries = std::move(contents.entries);
    m_unreadable = std::move(contents.unreadable);
    for (const QDate &date : m_savedSinceReady)
        reread(date);
    emit changed();
}

QList<SearchHit> DiaryIndex::search(QStringView query) const
{
    const QStringList words = searchWords(query);
    QList<SearchHit> hits;
    if (!m_ready || words.isEmpty())
        return hits;
    QList<SearchHit> fromKept = keptHits(words);
    hits.reserve(fromKept.size());
    auto kept = fromKept.begin();
    for (const IndexedEntry &entry : m_entries) {
        std::optional<SearchHit> hit = matchEntry(entry, words);
        if (!hit)
            continue;
        for (; kept != fromKept.end() && kept->date > hit->date; ++kept)
            hits.append(std::move(*kept));
        hits.append(std::move(*hit));
    }
    std::move(kept, fromKept.end(), std::back_inserter(hits));
    letCheckStart();
    return hits;
}

QList<SearchHit> DiaryIndex::keptHits(const QStringList &words) const
{
    QList<SearchHit> hits;
    if (!m_kept)
        return hits;
    // A damaged row found here is skipped: the check of every row under way replaces the
    // kept rows with the diary read again and says so through changed().
    m_kept->scan(
        words,
        [this](const QDate &date) {
            return std::binary_search(m_keptDays.cbegin(), m_keptDays.cend(), date,
                                      std::greater<>());
        },
        [&](KeptEntry &&kept) {
            if (std::optional<SearchHit> hit = matchEntry(kept.entry, words))
                hits.append(std::move(*hit));
            return true;
        },
        KeptRows::Order::NewestFirst);
    return hits;
}

void DiaryIndex::letCheckStart() const
{
    if (!std::exchange(m_checkLetStart, true))
        m_checkMayStart.release();
}

qsizetype DiaryIndex::bytesHeld() const
{
    qsizetype bytes = qsizetype(m_entries.capacity() * sizeof(IndexedEntry) +
                                m_keptDays.capacity() * sizeof(QDate));
    for (const IndexedEntry &entry : m_entries)
        bytes += entry.bytesHeld();
    return bytes + (m_kept ? m_kept->bytesHeld() : 0);
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
    m_savedSinceReady.append(date);
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
    const auto kept =
        std::partition_point(m_keptDays.begin(), m_keptDays.end(), [&](const QDate &day) {
            return day > date;
        });
    if (kept != m_keptDays.end() && *kept == date)
        m_keptDays.erase(kept);
    const auto at = std::partition_point(m_entries.begin(), m_entries.end(),
                                         [&](const IndexedEntry &e) { return isNewer(e, date); });
    if (at != m_entries.end() && at->date == date)
        m_entries.erase(at);
}

} // namespace Kakiva
