#pragma once

#include "app/CancellableWorker.h"
#include "app/RetryBackoff.h"
#include "publish/UploadAttempt.h"

#include <QDialog>

#include <atomic>
#include <chrono>
#include <functional>

class QLabel;
class QPushButton;
class QTimer;

namespace Kakiva {

// The upload window: sends the four pages of one date and reports each stage. After a
// failure it stays open and tries again after a growing pause; on success it closes
// itself. Attempts run on a worker thread, so the window never freezes and can always
// be closed. A server certificate or an SSH host key to be trusted is asked about in
// "証明書の確認" or "ホスト鍵の確認" over this window; one the user refuses ends the attempts.
class UpFor : public QDialog
{
    Q_OBJECT

public:
    using DateSource = std::function<UploadDate()>;

    // dateSource is asked for the date at the start of every attempt.
    explicit UpFor(DateSource dateSource, QWidget *parent = nullptr);
    ~UpFor() override;

    // Pauses between failed attempts: the first, doubled after each failure up to the
    // last. Defaults: 2 s and 60 s.
    void setRetryDelays(std::chrono::milliseconds first, std::chrono::milliseconds last);
    // The FTP client's limit on connecting, each reply and the data connection.
    void setNetworkTimeout(std::chrono::milliseconds timeout);

    bool isAttemptRunning() const;
    std::chrono::milliseconds nextRetryDelay() const { return m_backoff.next(); }

    QLabel *UpLab;
    QPushButton *CloseCom;
    QTimer *UpTim;

signals:
    // Emitted once per attempt, when it has ended, with its result.
    void attemptFinished(Kakiva::UploadAttempt::Result result);

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void startAttempt();
    void finishAttempt();
    void showStatus(const QString &status);

    DateSource m_dateSource;
    CancellableWorker *m_worker = nullptr;
    std::atomic<UploadAttempt::Result> m_result{UploadAttempt::Result::Failed};
    RetryBackoff m_backoff;
    std::chrono::milliseconds m_networkTimeout{25000};
};

} // namespace Kakiva
