#pragma once

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <functional>

// Answers every modal window of type Window while it lives: each time one is shown, the
// answer runs inside that window's own event loop, as a user acting on it would. An
// answer that leaves the window open is counted and the window is closed after it, so a
// broken window fails its test instead of blocking it.
template <typename Window> class ModalAnswerer : public QObject
{
public:
    using Answer = std::function<void(Window *)>;

    explicit ModalAnswerer(Answer answer) : m_answer(std::move(answer))
    {
        qApp->installEventFilter(this);
    }
    ~ModalAnswerer() override { qApp->removeEventFilter(this); }

    int shown() const { return m_shown; }
    int leftOpen() const { return m_leftOpen; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && !event->spontaneous()) {
            if (auto *window = qobject_cast<Window *>(watched)) {
                ++m_shown;
                QPointer<Window> guarded(window);
                QTimer::singleShot(0, this, [this, guarded] { answer(guarded); });
            }
        }
        return false;
    }

private:
    void answer(const QPointer<Window> &window)
    {
        if (!window)
            return;
        m_answer(window);
        if (window && window->isVisible()) {
            ++m_leftOpen;
            window->reject();
        }
    }

    Answer m_answer;
    int m_shown = 0;
    int m_leftOpen = 0;
};

// Shows window modally with answer acting on it; flags in QTest a window shown other than
// once or left open by the answer. Returns what showModal() returned.
template <typename Window>
int showAnswered(Window *window, typename ModalAnswerer<Window>::Answer answer)
{
    ModalAnswerer<Window> answerer(std::move(answer));
    const int result = window->showModal();
    if (answerer.shown() != 1 || answerer.leftOpen() != 0)
        QTest::qFail(qPrintable(QStringLiteral("shown %1 times, left open %2 times")
                                    .arg(answerer.shown())
                                    .arg(answerer.leftOpen())),
                     __FILE__, __LINE__);
    return result;
}
