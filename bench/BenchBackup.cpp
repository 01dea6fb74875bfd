// The automatic backup of a diary of twenty years of daily entries and their pages (the
// worker's whole job: collect, write, read back and check, rename), beside zip -qr and
// tar -czf of the same files, in the same run; then the ratios to tar -czf and what the
// backups the rotation keeps (7 days + 8 weeks + 24 months) come to on disk.

#include "DiaryCorpus.h"

#include "backup/BackupFolder.h"
#include "backup/BackupRun.h"
#include "platform/AppDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

namespace {

using namespace Kakiva;

constexpr int FirstYear = 2005;
constexpr int LastYear = 2024;
constexpr int Runs = 5;
constexpr int RotationKept = 7 + 8 + 24;

const QStringList BackedUp{QStringLiteral("Diary"), QStringLiteral("HTML"),
                           QStringLiteral("sent.json"), QStringLiteral("known_hosts"),
                           QStringLiteral("Kakiva.ini")};

struct Figure
{
    double seconds = 1e9; // the best of the runs
    qint64 bytes = 0;
};

void report(const char *what, const Figure &figure)
{
    std::printf("%-28s %8.3f s %10.1f KiB\n", what, figure.seconds, figure.bytes / 1024.0);
}

Figure runTool(const QString &root, const QString &program, const QStringList &options,
               const QString &output)
{
    Figure best;
    for (int run = 0; run < Runs; ++run) {
        QFile::remove(output);
        QProcess tool;
        tool.setWorkingDirectory(root);
        QElapsedTimer clock;
        clock.start();
        tool.start(program, options + QStringList{output} + BackedUp);
        if (!tool.waitForFinished(-1) || tool.exitCode() != 0)
            qFatal("%s failed", qPrintable(program));
        best.seconds = std::min(best.seconds, clock.nsecsElapsed() / 1e9);
        best.bytes = QFileInfo(output).size();
    }
    return best;
}

Figure runBackup()
{
    Figure best;
    for (int run = 0; run < Runs; ++run) {
        QString error;
        QString written;
        QElapsedTimer clock;
        clock.start();
        if (!writeBackupNow(&error, &written, Pruning::KeepOlder))
            qFatal("backup failed: %s", qPrintable(error));
        best.seconds = std::min(best.seconds, clock.nsecsElapsed() / 1e9);
        best.bytes = QFileInfo(written).size();
        QFile::remove(written);
    }
    return best;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir data;
    QTemporaryDir outputs;
    setApplicationDirectory(data.path());
    const DiaryCorpus corpus = writeDiaryCorpus(data.path(), FirstYear, LastYear, 120);
    const qsizetype pages = writeCorpusSite(data.path(), FirstYear, LastYear);
    std::printf("diary: %lld entries (%.1f KiB), %lld pages; best of %d runs each\n",
                static_cast<long long>(corpus.entries), corpus.bytes / 1024.0,
                static_cast<long long>(pages), Runs);
    const Figure kakiva = runBackup();
    report("Kakiva backup (tar.zst)", kakiva);
    report("zip -qr", runTool(data.path(), QStringLiteral("zip"), {QStringLiteral("-qr")},
                              outputs.filePath(QStringLiteral("out.zip"))));
    const Figure anchor = runTool(data.path(), QStringLiteral("tar"), {QStringLiteral("-czf")},
                                  outputs.filePath(QStringLiteral("out.tar.gz")));
    report("tar -czf", anchor);
    std::printf("Kakiva / tar -czf: %.2fx the time, %.2fx the size\n",
                kakiva.seconds / anchor.seconds, double(kakiva.bytes) / double(anchor.bytes));
    std::printf("rotation of %d backups: Kakiva %.1f MiB, tar -czf %.1f MiB\n", RotationKept,
                RotationKept * kakiva.bytes / 1048576.0, RotationKept * anchor.bytes / 1048576.0);
    return 0;
}
