// How long the calendar window stays unpainted while the backup of a twenty-year diary is
// restored: the restore as the backup window runs it (off the window's thread while the
// window waits), beside the same restore run in the window's own thread, during which
// nothing can paint at all.

#include "DiaryCorpus.h"

#include "app/calendar/MainFor.h"
#include "app/kit/BusyWait.h"
#include "backup/BackupRestore.h"
#include "backup/BackupRun.h"
#include "platform/AppDir.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QWindow>
#include <QTimer>

#include <cstdio>

namespace {

using namespace Kakiva;

constexpr int FirstYear = 2005;
constexpr int LastYear = 2024;
// As often as a screen refreshes: the window is asked to paint at every tick.
constexpr int FrameMs = 16;

// The longest stretch between two paints of the window while it lives.
class PaintGaps : public QObject
{
public:
    explicit PaintGaps(QWidget *window) : m_window(window)
    {
        window->installEventFilter(this);
        m_frames.setInterval(FrameMs);
        connect(&m_frames, &QTimer::timeout, window, qOverload<>(&QWidget::update));
        m_frames.start();
        m_clock.start();
    }
    void restart()
    {
        m_longest = 0;
        m_clock.restart();
    }
    double longestMs() const { return m_longest / 1e6; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && event->type() == QEvent::Paint) {
            m_longest = std::max(m_longest, m_clock.nsecsElapsed());
            m_clock.restart();
        }
        return false;
    }

private:
    QWidget *m_window;
    QTimer m_frames;
    QElapsedTimer m_clock;
    qint64 m_longest = 0;
};

// Lets the window's events run for ms.
void pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void restoreOrDie(const QString &backup)
{
    QString error;
    if (!restoreBackup(backup, &error))
        qFatal("restore failed: %s", qPrintable(error));
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir data;
    setApplicationDirectory(data.path());
    const DiaryCorpus corpus = writeDiaryCorpus(data.path(), FirstYear, LastYear, 120);
    const qsizetype pages = writeCorpusSite(data.path(), FirstYear, LastYear);
    QString error;
    QString backup;
    if (!writeBackupNow(&error, &backup, Pruning::KeepOlder))
        qFatal("backup failed: %s", qPrintable(error));
    std::printf("diary: %lld entries, %lld pages\n", static_cast<long long>(corpus.entries),
                static_cast<long long>(pages));

    MainFor window;
    window.show();
    for (int waited = 0; !window.windowHandle()->isExposed(); waited += 10) {
        if (waited > 10000)
            qFatal("the calendar window was never shown");
        pause(10);
    }
    PaintGaps gaps(&window);

    pause(200);
    gaps.restart();
    QElapsedTimer clock;
    clock.start();
    restoreOrDie(backup);
    const double inThreadMs = clock.nsecsElapsed() / 1e6;
    pause(1000); // the paint that was held back
    std::printf("restore in the window's thread: %8.1f ms, longest unpainted %8.1f ms\n",
                inThreadMs, gaps.longestMs());

    pause(200);
    gaps.restart();
    clock.restart();
    runWhileBusy(&window, QStringLiteral("復元しています..."),
                 [&](JobProgress &) { restoreOrDie(backup); });
    const double offThreadMs = clock.nsecsElapsed() / 1e6;
    std::printf("restore off the window's thread: %7.1f ms, longest unpainted %8.1f ms\n",
                offThreadMs, gaps.longestMs());
    return 0;
}
