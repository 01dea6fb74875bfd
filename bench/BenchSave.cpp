// One save of an entry (the entry file and the four pages of its date) in a diary that
// already holds every day of many years, against the floor of writing the same four page
// files with QSaveFile alone.

#include "diary/EntryStore.h"
#include "pages/PageGenerator.h"
#include "pages/PagePaths.h"
#include "platform/AppDir.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <map>
#include <memory>

namespace {

using namespace Kakiva;

constexpr int LastYear = 2020;
const QString SavedYear = QString::number(LastYear);
const QString SavedMonth = QStringLiteral("06");
const QString SavedDay = QStringLiteral("15");
const QString EntryText = QStringLiteral("今日は朝から晴れ。川沿いを歩いて図書館まで行った。\r\n"
                                         "借りた本: <b>雪国</b> と 随筆集。\r\n\r\n"
                                         "夜は鍋。明日は早起きする。");

QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

void writePlainFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

// A diary of every day of the years up to LastYear, written directly: entry files, day
// pages and lists of the size the generator would write.
void fillDiary(const QString &root, int years)
{
    const QByteArray entry = "\x8D\xA1\x93\xFA\x82\xCD\x90\xB0\x82\xEA\x81\x42\r\n";
    const QByteArray page(400, 'p');
    const QByteArray list(2000, 'l');
    for (int year = LastYear - years + 1; year <= LastYear; ++year) {
        for (int month = 1; month <= 12; ++month) {
            const QString relative = QString::number(year) + QLatin1Char('/') + twoDigits(month);
            const QString diary = root + QStringLiteral("/Diary/") + relative;
            const QString html = root + QStringLiteral("/HTML/") + relative;
            QDir().mkpath(diary);
            QDir().mkpath(html);
            for (int day = 1; day <= QDate(year, month, 1).daysInMonth(); ++day) {
                writePlainFile(diary + QLatin1Char('/') + twoDigits(day) + QStringLiteral(".dia"),
                               entry);
                writePlainFile(html + QLatin1Char('/') + twoDigits(day) + QStringLiteral(".html"),
                               page);
            }
            writePlainFile(html + QStringLiteral("/index.html"), list);
        }
        writePlainFile(root + QStringLiteral("/HTML/") + QString::number(year) +
                           QStringLiteral("/index.html"),
                       list);
    }
    writePlainFile(root + QStringLiteral("/HTML/year.html"), list);
}

// One diary per number of years, made on first use and kept for the whole run.
QString diaryOf(int years)
{
    static std::map<int, std::unique_ptr<QTemporaryDir>> diaries;
    auto &dir = diaries[years];
    if (!dir) {
        dir = std::make_unique<QTemporaryDir>();
        fillDiary(dir->path(), years);
    }
    return dir->path();
}

bool saveEntry()
{
    return DiaryWrite(SavedYear, SavedMonth, SavedDay, EntryText) == 0 &&
           HtmlMake(SavedYear, SavedMonth, SavedDay) == 0;
}

void BM_Save(benchmark::State &state)
{
    setApplicationDirectory(diaryOf(int(state.range(0))));
    for (auto _ : state) {
        if (!saveEntry())
            state.SkipWithError("the save failed");
    }
}

// Writes the files the save left behind, byte for byte the same, with QSaveFile alone.
void writeWithQSaveFile(benchmark::State &state, QStringList (*files)())
{
    setApplicationDirectory(diaryOf(int(state.range(0))));
    const QStringList paths = files();
    if (!saveEntry())
        state.SkipWithError("the save failed");
    QList<QByteArray> contents;
    for (const QString &path : paths) {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        contents.append(file.readAll());
    }
    for (auto _ : state) {
        for (qsizetype i = 0; i < paths.size(); ++i) {
            QSaveFile file(paths[i]);
            if (!file.open(QIODevice::WriteOnly) || file.write(contents[i]) != contents[i].size() ||
                !file.commit())
                state.SkipWithError("a file could not be written");
        }
    }
}

QStringList fourPages()
{
    return {dayPagePath(SavedYear, SavedMonth, SavedDay), yearListPath(), monthListPath(SavedYear),
            dayListPath(SavedYear, SavedMonth)};
}

QStringList entryAndFourPages()
{
    return QStringList{entryFilePath(SavedYear, SavedMonth, SavedDay)} + fourPages();
}

// The floor the save is measured against.
void BM_FourPagesWithQSaveFile(benchmark::State &state)
{
    writeWithQSaveFile(state, fourPages);
}

// The same with the entry file too: every file the save writes, so what remains above this
// is the cost of building the pages.
void BM_EntryAndFourPagesWithQSaveFile(benchmark::State &state)
{
    writeWithQSaveFile(state, entryAndFourPages);
}

BENCHMARK(BM_Save)->Arg(2)->Arg(20)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_FourPagesWithQSaveFile)->Arg(2)->Arg(20)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_EntryAndFourPagesWithQSaveFile)
    ->Arg(2)
    ->Arg(20)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
