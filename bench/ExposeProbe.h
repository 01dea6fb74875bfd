#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>

#include <chrono>
#include <cstdio>

// Ends the program once its window has been exposed and painted for the first time,
// printing that moment as CLOCK_MONOTONIC nanoseconds so the launcher can subtract the
// moment it started the process.
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
        std::printf("exposed %lld\n",
                    static_cast<long long>(
                        std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
        std::fflush(stdout);
        QCoreApplication::quit();
    }

    QWidget *m_window;
    bool m_seen = false;
};
