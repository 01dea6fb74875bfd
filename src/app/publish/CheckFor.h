#pragma once

#include "app/publish/PublishWindow.h"
#include "publish/SiteCheck.h"

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTimer;
class QWidget;

namespace Kakiva {

// "サーバーと照合": checks what the server holds against the site (SiteCheck) on a worker,
// showing the directory being listed, then lists what differs, with counts, and stays open
// until closed. Pages the server lacks or holds otherwise are unsent from then on (the
// calendar marks them, 未送信を送信 sends them). "中止" (the focused default button, also
// Escape) stops a running check; afterwards it reads "閉じる". A failure shows its reason and
// the check is tried again after a growing pause while the window stays open. Certificates
// and host keys are asked about as for 未送信を送信.
class CheckFor : public PublishWindow
{
    Q_OBJECT

public:
    explicit CheckFor(QWidget *parent = nullptr);

    const SiteCheckReport &report() const { return m_report; }

    QLabel *StatusLab = nullptr;
    QProgressBar *CheckBar = nullptr;
    QListWidget *DiffList = nullptr;
    QPushButton *CloseCom = nullptr;
    QTimer *const CheckTim;

protected:
    Job prepareRun() override;
    void showEnd(const PublishOutcome &outcome,
                 std::optional<std::chrono::milliseconds> retryIn) override;
    void takeOutcome(const PublishOutcome &outcome) override;
    bool closesWhenDone() const override { return false; }

private:
    void buildControls();
    void showProgress(const SiteCheckProgress &progress);

    SiteCheckReport m_report; // written by the worker, read once it has finished
};

// Asked after a restore: whether to check the server now. The focus and Escape on いいえ,
// since the check may change what counts as sent.
bool askCheckAfterRestore(QWidget *window);

} // namespace Kakiva
