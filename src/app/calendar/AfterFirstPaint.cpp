#include "app/calendar/AfterFirstPaint.h"

#include <QEvent>
#include <QWidget>

namespace Kakiva {

namespace {

class FirstPaintWatch : public QObject
{
public:
    FirstPaintWatch(QWidget *window, std::function<void()> work)
        : QObject(window), m_work(std::move(work))
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && watched == parent()) {
            watched->removeEventFilter(this);
            // Queued, so the frame reaches the screen first.
            QMetaObject::invokeMethod(
                this,
                [this] {
                    m_work();
                    deleteLater();
                },
                Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_work;
};

} // namespace

void runAfterFirstPaint(QWidget *window, std::function<void()> work)
{
    new FirstPaintWatch(window, std::move(work));
}

} // namespace Kakiva
