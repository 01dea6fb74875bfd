#pragma once

#include "diary/EntryMatch.h"
#include "diary/KeptIndex.h"
#include "diary/KeptRows.h"

#include <QDate>
#include <QList>
#include <QObject>
#include <QSemaphore>
#include <QStringView>

#include <memory>
#include <vector>

class QThread;

namespace Kakiva {

struct DiaryContents;
struct RefreshedDiary;

// Every entry of the diary, ready for searching as the user types. The first prepare()
// checks the stamps of the entry files against the index an earlier run kept and reads
// again, in a worker thread, only the entries whose file changed since; the entries kept
// stay on disk and each search reads them from there, while those read again are held.
// Afterwards every kept row is checked whole in the background (a damaged one makes the
// whole diary read again), and the index for the next run is written if it changed. That
// check waits for the first search, or for a moment after ready(), so that the question the
// user is waiting on does not share the machine with it. Each saved entry is read again on
// its own (EntrySaveNotice).
class DiaryIndex : public QObject
{
    Q_OBJECT

public:
    explicit DiaryIndex(QObject *parent = nullptr);
    ~DiaryIndex() override;

    // Starts reading the diary unless that is done or under way; ready() follows.
    void prepare();
    bool isReady() const { return m_ready; }

    // The days whose entry holds every word of query, newest first. Nothing before ready.
    QList<SearchHit> search(QStringView query) const;
    // Entry files that are there but could not be read; never among the hits.
    qsizetype unreadableCount() const { return m_unreadable.size(); }
    qsizetype entryCount() const { return qsizetype(m_keptDays.size() + m_entries.size()); }
    // Memory held for the entries: the texts, folded texts and maps of those read from
    // their files, the days of those kept, and the kept index's page cache.
    qsizetype bytesHeld() const;

signals:
    void ready();
    // The index for the next run was written (or found up to date) after ready().
    void indexKept(bool written, const QString &error);
    // An entry was read again after a save, or the kept index turned out damaged and the
    // diary was read again; earlier results may be out of date.
    void changed();

private:
    void adopt(std::unique_ptr<KeptRows> rows, std::vector<QDate> keptDays,
               DiaryContents contents);
    void adoptWholeDiary(DiaryContents contents);
    void refreshInWorker(const QString &keptPath);
    void noteSaved(const QString &year, const QString &month, const QString &day);
    void reread(const QDate &date);
    void remove(const QDate &date);
    QList<SearchHit> keptHits(const QStringList &words) const;
    void letCheckStart() const;

    QThread *m_reader = nullptr;
    bool m_ready = false;
    std::unique_ptr<KeptRows> m_kept;
    std::vector<QDate> m_keptDays;       // newest first: the kept rows still true
    std::vector<IndexedEntry> m_entries; // newest first: the entries read from their files
    QList<QDate> m_unreadable;
    QList<QDate> m_savedWhileReading;
    // Read again after a save since ready: a reading of the whole diary begun before must
    // not put back what they held.
    QList<QDate> m_savedSinceReady;
    // Released once, by the first search or on leaving: the check of every kept row may
    // begin.
    mutable QSemaphore m_checkMayStart;
    mutable bool m_checkLetStart = false;
};

} // namespace Kakiva
