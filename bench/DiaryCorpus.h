#pragma once

#include <QDate>
#include <QString>

// A diary of daily entries written straight to disk as the entry store keeps them
// (Windows-932, CR LF), for the search benchmarks.
struct DiaryCorpus
{
    qsizetype entries = 0;
    qsizetype bytes = 0;
};

// Writes one entry of about charactersPerEntry Japanese characters for every day of the
// years [firstYear, lastYear] below root/Diary. Deterministic: every run writes the same
// text. CommonWord occurs in about half of the entries, RareWord in the one of RareDay.
DiaryCorpus writeDiaryCorpus(const QString &root, int firstYear, int lastYear,
                             int charactersPerEntry);

// Writes beside the corpus of [firstYear, lastYear] (already written below root/Diary) what a
// published diary of those years holds: a page for every entry, the lists, the server
// record, known_hosts and the settings. Gives the number of pages.
qsizetype writeCorpusSite(const QString &root, int firstYear, int lastYear);

inline const QString CommonWord = QStringLiteral("散歩");
inline const QString RareWord = QStringLiteral("ウォンバット");
inline const QDate RareDay(2014, 7, 15);
