#pragma once

#include "diary/EntryMatch.h"
#include "diary/KeptIndex.h"

#include <QDate>
#include <QList>
#include <QObject>
#include <QStringView>

#include <vector>

class QThread;

namespace Kakiva {

struct DiaryContents;
struct RefreshedDiary;

// Every entry of the diary held in memory, ready for searching as the user types. The
// first prepare() takes the entries from the index an earlier run kept, reads again in a
// worker thread only those whose file changed since, and then keeps the index for the
// next run; afterwards each saved entry is read again on its own (EntrySaveNotice).
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
    qsizetype entryCount() const { return qsizetype(m_entries.size()); }
    // Memory held for the entries: their text, the folded text and its maps.
    qsizetype bytesHeld() const;

signals:
    void ready();
    // The index for the next run was written (or found up to date) after ready().
    void indexKept(bool written, const QString &error);
    // An entry was read again after a save; earlier results may be out of date.
    void changed();

private:
    void adopt(DiaryContents &contents);
    void refreshInWorker(const QString &keptPath);
    void noteSaved(const QString &year, const QString &month, const QString &day);
    void reread(const QDate &date);
    void remove(const QDate &date);

    QThread *m_reader = nullptr;
    bool m_ready = false;
    std::vector<IndexedEntry> m_entries; // newest first
    QList<QDate> m_unreadable;
    QList<QDate> m_savedWhileReading;
};

} // namespace Kakiva
