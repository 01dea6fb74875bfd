// Inserting a phone photo: a 24-megapixel JPEG (6000 x 4000, stored turned, EXIF orientation
// 6, with GPS) made upright, scaled to a 1600-pixel long edge and written anew at quality 85,
// beside ImageMagick's `convert -auto-orient -resize 1600x1600 -strip -quality 85` of the same
// file in the same run. Each side runs as a process of its own, so its peak memory is its
// own: the wall time of the process, the time of the work inside ours, and the peak resident
// memory the system counted for each.

#include "PictureFixtures.h"

#include "pictures/WebPicture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

using namespace Kakiva;

constexpr int Runs = 7;
constexpr int LongEdge = 1600;

struct ProcessRun
{
    double milliseconds = 0;
    double workMilliseconds = 0; // inside the process, where it says
    long peakKilobytes = 0;
    bool ok = false;
};

// Runs the program with arguments and waits for it, with what the system counted.
ProcessRun runProcess(const std::vector<std::string> &arguments)
{
    std::vector<char *> argv;
    for (const std::string &argument : arguments)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);
    QElapsedTimer timer;
    timer.start();
    const pid_t child = fork();
    if (child == 0) {
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    return {double(timer.nsecsElapsed()) / 1e6, 0, usage.ru_maxrss,
            WIFEXITED(status) && WEXITSTATUS(status) == 0};
}

// A scene with detail everywhere, so the encoder and the scaler do real work.
QImage photoScene()
{
    QImage scene(4000, 6000, QImage::Format_RGB32); // as shown: portrait
    for (int y = 0; y < scene.height(); ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(scene.scanLine(y));
        for (int x = 0; x < scene.width(); ++x)
            line[x] = qRgb((x * 7 + y) & 0xff, (y * 3 + (x ^ y)) & 0xff, ((x * y) >> 6) & 0xff);
    }
    return scene;
}

// The child: makes the picture once and says how long the work took.
int makeOnce(const QString &path, const QString &out)
{
    QElapsedTimer timer;
    timer.start();
    const WebPicture picture = makeWebPicture(path, LongEdge);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    if (!picture.ok())
        return 1;
    QFile file(out);
    if (!file.open(QIODevice::WriteOnly) || file.write(picture.bytes) != picture.bytes.size())
        return 1;
    QFile time(out + QStringLiteral(".ms"));
    return time.open(QIODevice::WriteOnly) && time.write(QByteArray::number(ms)) > 0 ? 0 : 1;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void report(const char *name, const std::vector<ProcessRun> &runs)
{
    std::vector<double> times;
    long peak = 0;
    bool ok = true;
    for (const ProcessRun &run : runs) {
        times.push_back(run.milliseconds);
        peak = std::max(peak, run.peakKilobytes);
        ok = ok && run.ok;
    }
    std::printf("%-30s median %7.1f ms  min %7.1f ms  peak RSS %6.1f MB%s\n", name, median(times),
                *std::min_element(times.begin(), times.end()), peak / 1024.0,
                ok ? "" : "  (a run failed)");
    std::vector<double> work;
    for (const ProcessRun &run : runs) {
        if (run.workMilliseconds > 0)
            work.push_back(run.workMilliseconds);
    }
    if (!work.empty())
        std::printf("%-30s median %7.1f ms  (reading, scaling and writing alone)\n", "",
                    median(work));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && std::string(argv[1]) == "--one")
        return makeOnce(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));

    QTemporaryDir dir;
    const QString photo = dir.filePath(QStringLiteral("phone.jpg"));
    {
        const QImage shown = photoScene();
        QFile file(photo);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(jpegWithExif(storedForOrientation(shown, 6), 6)) < 0)
            return 1;
    }
    std::printf("source: 6000 x 4000 stored, orientation 6, %.1f MB; %d runs each\n",
                QFile(photo).size() / 1e6, Runs);
    std::fflush(stdout);
    const std::string self = QCoreApplication::applicationFilePath().toStdString();
    const std::string source = photo.toStdString();
    const std::string ours = dir.filePath(QStringLiteral("ours.jpg")).toStdString();
    const std::string theirs = dir.filePath(QStringLiteral("theirs.jpg")).toStdString();

    std::vector<ProcessRun> kakiva;
    std::vector<ProcessRun> magick;
    for (int run = 0; run < Runs; ++run) { // interleaved, so both see the same machine
        kakiva.push_back(runProcess({self, "--one", source, ours}));
        QFile time(QString::fromStdString(ours) + QStringLiteral(".ms"));
        if (time.open(QIODevice::ReadOnly))
            kakiva.back().workMilliseconds = time.readAll().toDouble();
        magick.push_back(runProcess({"/usr/bin/convert", source, "-auto-orient", "-resize",
                                     "1600x1600", "-strip", "-quality", "85", theirs}));
    }
    report("Kakiva (process)", kakiva);
    report("ImageMagick convert (process)", magick);

    QImage mine(QString::fromStdString(ours));
    QImage imagemagick(QString::fromStdString(theirs));
    std::printf("output: Kakiva %d x %d, %.0f KB; convert %d x %d, %.0f KB\n", mine.width(),
                mine.height(), QFile(QString::fromStdString(ours)).size() / 1024.0,
                imagemagick.width(), imagemagick.height(),
                QFile(QString::fromStdString(theirs)).size() / 1024.0);
    return 0;
}
