#include "app/kit/BusyWait.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QPointer>
#include <QProgressDialog>
#include <QTimer>

namespace Kakiva {

namespace {

// How long short work runs without a progress window, so that it does not flash.
constexpr int ProgressDelayMs = 400;
constexpr int ProgressTickMs = 100;

bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::TouchBegin:
    case QEvent::InputMethod:
    case QEvent::Close:
        return true;
    default:
        return false;
    }
}

// Holds back the user's input to the windows that were there when the wait began, but for
// allowed: a window opened meanwhile (a message about the work) still answers.
class InputHold : public QObject
{
public:
    explicit InputHold(const QWidget *allowed)
    {
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (window != allowed)
                m_held.append(window);
        }
        qApp->installEventFilter(this);
    }
    ~InputHold() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!isUserInput(event->type()) || !event->spontaneous())
            return false;
        auto *widget = qobject_cast<QWidget *>(watched);
        return widget && m_held.contains(widget->window());
    }

private:
    QList<QPointer<QWidget>> m_held;
};

// QProgressDialog counts in int; thousandths say as much. Nothing is set again that has
// not changed: setting the minimum again would put off showing the dialog.
void showProgress(QProgressDialog &dialog, const JobProgress &progress)
{
    const qint64 total = progress.total();
    const int maximum = total > 0 ? 1000 : 0;
    const int value = total > 0 ? int(1000 * qMin(progress.done(), total) / total) : 0;
    if (dialog.maximum() != maximum)
        dialog.setRange(0, maximum);
    if (dialog.value() != value)
        dialog.setValue(value);
}

} // namespace

void waitWhileBusy(QWidget *window, const QString &text, BackgroundJob &job, BusyCancel cancel)
{
    if (!job.isRunning())
        return;
    QProgressDialog dialog(text, QString(), 0, 0, window);
    dialog.setObjectName(QStringLiteral("BusyProgress"));
    dialog.setWindowTitle(window ? window->windowTitle() : QString());
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    dialog.setMinimumDuration(ProgressDelayMs);
    if (cancel == BusyCancel::Offered) {
        dialog.setCancelButtonText(QStringLiteral("キャンセル"));
        QObject::connect(&dialog, &QProgressDialog::canceled, &job, [&] {
            job.progress().cancel();
            dialog.setLabelText(QStringLiteral("キャンセルしています..."));
        });
    } else {
        dialog.setCancelButton(nullptr);
    }
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &dialog,
                     [&] { showProgress(dialog, job.progress()); });

    // Without a cancel, even Escape in the progress window must not end the wait.
    const InputHold hold(cancel == BusyCancel::Offered ? &dialog : nullptr);
    QEventLoop loop;
    QObject::connect(&job, &BackgroundJob::finished, &loop, &QEventLoop::quit);
    dialog.setValue(0); // starts the delay before the dialog shows
    tick.start(ProgressTickMs);
    loop.exec();
}

void runWhileBusy(QWidget *window, const QString &text, BackgroundJob::Job job, BusyCancel cancel)
{
    BackgroundJob worker;
    worker.start(std::move(job));
    waitWhileBusy(window, text, worker, cancel);
}

bool deferCloseWhileRunning(BackgroundJob &job, QCloseEvent *event)
{
    if (!job.isRunning())
        return false;
    job.stop();
    event->ignore();
    return true;
}

} // namespace Kakiva
