// One draft write, as the entry dialog makes it while the user types, in a diary that
// already holds an entry for every day of twenty years; beside writing the same bytes
// with QSaveFile alone. And the look for drafts that start-up makes.

#include "DiaryCorpus.h"

#include "diary/EntryDrafts.h"
#include "platform/AppDir.h"

#include <QSaveFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

using namespace Kakiva;

const DateFields Day{QStringLiteral("2024"), QStringLiteral("06"), QStringLiteral("15")};

// The diary is made once and kept for the whole run; its number of entries is reported.
qsizetype diaryEntries = 0;

QString diary()
{
    static QTemporaryDir dir;
    static const DiaryCorpus corpus = writeDiaryCorpus(dir.path(), 2005, 2024, 500);
    diaryEntries = corpus.entries;
    return dir.path();
}

// A draft of about characters characters, Japanese with an emoji on each line.
QString draftText(qsizetype characters)
{
    const QString sentence = QStringLiteral("今日は朝から晴れて気持ちがよかった。😀\n");
    QString text;
    while (text.size() < characters)
        text += sentence;
    return text;
}

void BM_DraftWrite(benchmark::State &state)
{
    setApplicationDirectory(diary());
    const QString text = draftText(state.range(0));
    for (auto _ : state) {
        if (!writeDraft(Day, text))
            state.SkipWithError("the draft could not be written");
    }
    state.SetBytesProcessed(state.iterations() * text.toUtf8().size());
    state.counters["entries"] = double(diaryEntries);
}

// The floor: the same bytes through QSaveFile, the encoding done beforehand.
void BM_QSaveFileFloor(benchmark::State &state)
{
    setApplicationDirectory(diary());
    const QByteArray bytes = draftText(state.range(0)).toUtf8();
    const QString path = draftFilePath(Day);
    writeDraft(Day, QString());
    for (auto _ : state) {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
            state.SkipWithError("the file could not be written");
    }
}

// What start-up does to find the days to mark, with one draft left by a crash.
void BM_PendingDraftDays(benchmark::State &state)
{
    setApplicationDirectory(diary());
    writeDraft(Day, QStringLiteral("書きかけ"));
    for (auto _ : state)
        benchmark::DoNotOptimize(pendingDraftDays());
}

BENCHMARK(BM_DraftWrite)->Arg(500)->Arg(20000)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_QSaveFileFloor)->Arg(500)->Arg(20000)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_PendingDraftDays)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
