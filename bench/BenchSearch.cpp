// Search over a diary of twenty years of daily entries: the first search (the index
// reads every entry) and a later one (the index is held), for a word in about half of
// the entries and for a word in one, beside ripgrep on the same folder; and the memory
// the index holds against the size of the entry files.

#include "DiaryCorpus.h"

#include "diary/DiaryIndex.h"
#include "platform/AppDir.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

using namespace Kakiva;

constexpr int WarmRuns = 15;
// Each cold run reads the whole diary again.
constexpr int ColdRuns = 5;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Resident memory of this process in bytes.
qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * 4096 : 0;
}

double milliseconds(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

void waitUntilReady(DiaryIndex &index)
{
    QEventLoop loop;
    QObject::connect(&index, &DiaryIndex::ready, &loop, &QEventLoop::quit);
    index.prepare();
    if (!index.isReady())
        loop.exec();
}

struct Timed
{
    double ms = 0;      // the median
    double firstMs = 0; // the first run, which may pay for starting up
    qsizetype found = 0;
};

// Runs run the given number of times: the median time, and what the last run found.
template <typename Run> Timed medianOfRuns(int runs, Run run)
{
    std::vector<double> times;
    qsizetype found = 0;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        found = run();
        times.push_back(milliseconds(timer));
    }
    return {median(times), times.front(), found};
}

// From nothing held to the days found: the index reads every entry first.
Timed coldSearch(const QString &word)
{
    return medianOfRuns(ColdRuns, [&] {
        DiaryIndex index;
        waitUntilReady(index);
        return index.search(word).size();
    });
}

Timed warmSearch(const DiaryIndex &index, const QString &word)
{
    return medianOfRuns(WarmRuns, [&] { return index.search(word).size(); });
}

// ripgrep listing the files that hold word.
Timed ripgrep(const QString &root, const QString &word)
{
    return medianOfRuns(ColdRuns, [&] {
        QProcess rg;
        rg.setWorkingDirectory(root);
        rg.start(QStringLiteral("rg"), {QStringLiteral("--encoding"), QStringLiteral("shift_jis"),
                                        QStringLiteral("-l"), word, QStringLiteral("Diary")});
        if (!rg.waitForFinished(-1) || rg.exitStatus() != QProcess::NormalExit)
            qFatal("rg did not run: %s", qPrintable(rg.errorString()));
        return qsizetype(rg.readAllStandardOutput().count('\n'));
    });
}

void report(const char *what, const QString &word, const Timed &ours, const Timed &rg)
{
    std::printf("%-20s %-14s %8.2f ms (first %7.2f) %5lld days | rg %7.2f ms (first %7.2f) "
                "%5lld files | %5.2fx rg\n",
                what, qPrintable(word), ours.ms, ours.firstMs, static_cast<long long>(ours.found),
                rg.ms, rg.firstMs, static_cast<long long>(rg.found), ours.ms / rg.ms);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir root;
    const DiaryCorpus corpus = writeDiaryCorpus(root.path(), 2005, 2024, 500);
    setApplicationDirectory(root.path());
    std::printf("diary: %lld entries, %.1f MiB of entry files; %d cores\n",
                static_cast<long long>(corpus.entries), double(corpus.bytes) / (1 << 20),
                QThread::idealThreadCount());

    const Timed rgCommon = ripgrep(root.path(), CommonWord);
    const Timed rgRare = ripgrep(root.path(), RareWord);

    // Medians; the entry files are in the system's file cache for both programs.
    report("first search (cold)", CommonWord, coldSearch(CommonWord), rgCommon);
    report("first search (cold)", RareWord, coldSearch(RareWord), rgRare);

    const qint64 before = residentBytes();
    DiaryIndex index;
    waitUntilReady(index);
    const qint64 after = residentBytes();
    report("later search (warm)", CommonWord, warmSearch(index, CommonWord), rgCommon);
    report("later search (warm)", RareWord, warmSearch(index, RareWord), rgRare);

    std::printf("memory: index holds %.1f MiB (%.2fx the entry files); resident grew by %.1f "
                "MiB (%.2fx)\n",
                double(index.bytesHeld()) / (1 << 20), double(index.bytesHeld()) / corpus.bytes,
                double(after - before) / (1 << 20), double(after - before) / corpus.bytes);
    return 0;
}
