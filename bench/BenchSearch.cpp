// Search over a diary of twenty years of daily entries: the first search of a run with
// no kept index (every entry read and folded), the first search of a run that starts
// from the index an earlier run kept, and a later one (the index is held), for a word in
// about half of the entries and for a word in one, beside ripgrep on the same folder; the
// time to build the kept index in the background; and the memory the index holds against
// the size of the entry files.

#include "DiaryCorpus.h"

#include "diary/DiaryIndex.h"
#include "diary/KeptIndex.h"
#include "platform/AppDir.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
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

// Waits until the index has kept (or found up to date) what it read for the next run.
void waitUntilKept(DiaryIndex &index)
{
    QEventLoop loop;
    QObject::connect(&index, &DiaryIndex::indexKept, &loop, &QEventLoop::quit);
    loop.exec();
}

void removeKeptIndex()
{
    QFile::remove(applicationPath(KeptIndexFileName));
}

// From nothing held to the days found, starting from the kept index: only the entry
// files' stamps are checked.
Timed coldSearch(const QString &word)
{
    return medianOfRuns(ColdRuns, [&] {
        DiaryIndex index;
        waitUntilReady(index);
        return index.search(word).size();
    });
}

// The same with nothing kept: every entry is read and folded, as every first search did
// before there was a kept index. Writing the kept index afterwards is left out of the time.
Timed coldSearchWithNothingKept(const QString &word)
{
    std::vector<double> times;
    qsizetype found = 0;
    for (int i = 0; i < ColdRuns; ++i) {
        removeKeptIndex();
        QElapsedTimer timer;
        timer.start();
        DiaryIndex index;
        waitUntilReady(index);
        found = index.search(word).size();
        times.push_back(milliseconds(timer));
        waitUntilKept(index);
    }
    return {median(times), times.front(), found};
}

// From starting to read the diary without a kept index to the kept index written.
double firstBuild()
{
    std::vector<double> times;
    for (int i = 0; i < ColdRuns; ++i) {
        removeKeptIndex();
        QElapsedTimer timer;
        timer.start();
        DiaryIndex index;
        index.prepare();
        waitUntilKept(index);
        times.push_back(milliseconds(timer));
    }
    return median(times);
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

// KAKIVA_MEMORY_DETAIL=1: the resident bytes before reading, once ready and once kept, and
// how the process's memory divides, on the error output.
void printMemoryStages(qint64 before, qint64 ready, qint64 kept)
{
    std::fprintf(stderr, "resident: before %lld, ready %lld, kept %lld\n",
                 static_cast<long long>(before), static_cast<long long>(ready),
                 static_cast<long long>(kept));
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("Rss") || line.startsWith("VmHWM"))
            std::fprintf(stderr, "%s\n", line.constData());
    }
}

// In a process of its own, so that nothing an earlier measure left in the heap hides
// what the index takes: the resident memory the index adds once read from the kept index,
// in bytes, and what it counts itself.
int measureMemory(const QString &root)
{
    setApplicationDirectory(root);
    const qint64 before = residentBytes();
    DiaryIndex index;
    // Noted from the start: an index found up to date is kept right after it is ready.
    bool kept = false;
    QObject::connect(&index, &DiaryIndex::indexKept, [&kept] { kept = true; });
    waitUntilReady(index);
    const qint64 ready = residentBytes();
    if (!kept)
        waitUntilKept(index);
    const qint64 after = residentBytes();
    if (qEnvironmentVariableIsSet("KAKIVA_MEMORY_DETAIL"))
        printMemoryStages(before, ready, after);
    std::printf("%lld %lld\n", static_cast<long long>(after - before),
                static_cast<long long>(index.bytesHeld()));
    return 0;
}

void reportMemory(const QString &root, qsizetype entryBytes)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--memory"), root});
    if (!child.waitForFinished(-1) || child.exitCode() != 0)
        qFatal("the memory measure did not run");
    const QList<QByteArray> figures = child.readAllStandardOutput().trimmed().split(' ');
    const double grown = figures.value(0).toDouble();
    const double held = figures.value(1).toDouble();
    std::printf("memory: index holds %.1f MiB (%.2fx the entry files); resident grew by %.1f "
                "MiB (%.2fx)\n",
                held / (1 << 20), held / double(entryBytes), grown / (1 << 20),
                grown / double(entryBytes));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--memory")
        return measureMemory(QString::fromLocal8Bit(argv[2]));
    QTemporaryDir root;
    if (qEnvironmentVariableIsSet("KAKIVA_MEMORY_DETAIL")) {
        root.setAutoRemove(false);
        std::fprintf(stderr, "diary kept in %s\n", qPrintable(root.path()));
    }
    const DiaryCorpus corpus = writeDiaryCorpus(root.path(), 2005, 2024, 500);
    setApplicationDirectory(root.path());
    std::printf("diary: %lld entries, %.1f MiB of entry files; %d cores\n",
                static_cast<long long>(corpus.entries), double(corpus.bytes) / (1 << 20),
                QThread::idealThreadCount());

    const Timed rgCommon = ripgrep(root.path(), CommonWord);
    const Timed rgRare = ripgrep(root.path(), RareWord);

    // Medians; the entry files are in the system's file cache for both programs.
    report("first, nothing kept", CommonWord, coldSearchWithNothingKept(CommonWord), rgCommon);
    report("first, nothing kept", RareWord, coldSearchWithNothingKept(RareWord), rgRare);
    std::printf("kept index: first build in the background %.0f ms, %.1f MiB on disk\n",
                firstBuild(),
                double(QFileInfo(applicationPath(KeptIndexFileName)).size()) / (1 << 20));
    report("first, from kept", CommonWord, coldSearch(CommonWord), rgCommon);
    report("first, from kept", RareWord, coldSearch(RareWord), rgRare);

    // Later searches meet the index as a session holds it, once the check of every kept row
    // that follows the first search is over.
    DiaryIndex index;
    waitUntilReady(index);
    index.search(CommonWord);
    waitUntilKept(index);
    report("later search (warm)", CommonWord, warmSearch(index, CommonWord), rgCommon);
    report("later search (warm)", RareWord, warmSearch(index, RareWord), rgRare);
    reportMemory(root.path(), corpus.bytes);
    return 0;
}
