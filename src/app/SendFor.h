#pragma once

#include "app/CancellableWorker.h"
#include "app/RetryBackoff.h"
#include "publish/BulkPublish.h"
#include "publish/SiteInventory.h"

#include <QDialog>
#include <QElapsedTimer>

#include <chrono>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace Kakiva {

// The progress window of a publish of many files: the unsent files of the site, or all of
// it. Shows files done of all, the current file, bytes and the time left. A failure shows
// its reason and the run is tried again, after a growing pause, with the files still to
// send, for as long as the window stays open; on success it closes itself. "中止" or Escape
// stops at once. Runs go on a worker thread, so the window never freezes. A server
// certificate or an SSH host key to be trusted is asked about in "証明書の確認" or
// "ホスト鍵の確認" over this window; one the user refuses shows "証明書エラー" or "ホスト鍵エラー"
// and ends the runs.
class SendFor : public QDialog
{
    Q_OBJECT

public:
    enum class Scope
    {
        Unsent,    // what differs from what the server holds
        Everything // the whole tree, whatever the record says
    };

    explicit SendFor(Scope scope, QWidget *parent = nullptr);
    ~SendFor() override;

    // Defaults: 2 s, doubling up to 60 s.
    void setRetryDelays(std::chrono::milliseconds first, std::chrono::milliseconds last);
    void setNetworkTimeout(std::chrono::milliseconds timeout) { m_networkTimeout = timeout; }
    void setMaxSessions(int sessions) { m_maxSessions = sessions; }

    bool isRunning() const { return m_worker->isRunning(); }
    int filesToSend() const { return static_cast<int>(m_pending.size()); }

    QLabel *CountLab = nullptr;
    QProgressBar *SendBar = nullptr;
    QLabel *FileLab = nullptr;
    QLabel *BytesLab = nullptr;
    QLabel *TimeLab = nullptr;
    QLabel *StatusLab = nullptr;
    QPushButton *StopCom = nullptr;
    QTimer *SendTim = nullptr;

signals:
    // Emitted once per run, when it has ended.
    void runFinished(Kakiva::BulkOutcome::Result result);

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void startRun();
    void finishRun();
    void showProgress(const BulkProgress &progress);

    QList<SiteFile> m_pending;
    int m_filesTotal = 0;
    qint64 m_bytesTotal = 0;
    int m_filesBefore = 0; // confirmed by earlier runs of this window
    qint64 m_bytesBefore = 0;
    QElapsedTimer m_runClock;

    CancellableWorker *m_worker = nullptr;
    BulkOutcome m_outcome; // written by the worker, read once it has finished
    RetryBackoff m_backoff;
    std::chrono::milliseconds m_networkTimeout{25000};
    int m_maxSessions = BulkPublish::MaxSessions;
};

} // namespace Kakiva
