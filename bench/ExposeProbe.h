#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// Ends the program once its window has been exposed and painted for the first time,
// printing that moment as CLOCK_MONOTONIC nanoseconds so the launcher can subtract the
// moment it started the process, and the peak resident memory up to then (VmHWM, KiB):
// what a program loads after its first frame counts in the launcher's whole-run peak only.
class ExposeProbe : public QObject
{
public:
    explicit ExposeProbe(QWidget *window) : m_window(window)
    {
        // The native window does not exist before the first show, so watch them all.
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && !m_seen && watched == m_window->windowHandle() &&
            m_window->windowHandle()->isExposed()) {
            m_seen = true;
            // Queued, so the window paints its first frame before the clock is read.
            QMetaObject::invokeMethod(this, &ExposeProbe::report, Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void report()
    {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        std::printf("exposed %lld %ld\n",
                    static_cast<long long>(
                        std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()),
                    peakResidentKiB());
        std::fflush(stdout);
        QCoreApplication::quit();
    }

    static long peakResidentKiB()
    {
        long kib = -1;
        if (std::FILE *status = std::fopen("/proc/self/status", "r")) {
            char line[256];
            while (std::fgets(line, sizeof line, status))
                if (std::strncmp(line, "VmHWM:", 6) == 0)
                    kib = std::strtol(line + 6, nullptr, 10);
            std::fclose(status);
        }
        return kib;
    }

    QWidget *m_window;
    bool m_seen = false;
};
