#pragma once

#include "platform/BackgroundJob.h"

#include <QString>

class QCloseEvent;
class QWidget;

namespace Kakiva {

enum class BusyCancel
{
    No,
    Offered,
};

// Runs job off the window's thread and returns once it has returned, for work the user
// waits for (a restore, the backup before a deletion, the backup at quit). The windows
// keep painting meanwhile, but their input is held back, so nothing can be clicked
// through; after a moment a progress window over window names the work in text, with
// "キャンセル" when cancel is offered (the job then sees cancelled()).
void runWhileBusy(QWidget *window, const QString &text, BackgroundJob::Job job,
                  BusyCancel cancel = BusyCancel::No);
// The same for a job that runs already (the automatic backup at quit).
void waitWhileBusy(QWidget *window, const QString &text, BackgroundJob &job,
                   BusyCancel cancel = BusyCancel::No);

// For the closeEvent of a window whose job holds a connection: true when a job runs, which
// is then cancelled and the event ignored; the window closes on the job's finished(), when
// job.stopped() is set.
bool deferCloseWhileRunning(BackgroundJob &job, QCloseEvent *event);

} // namespace Kakiva
