#pragma once

#include "app/publish/PublishWindow.h"
#include "publish/BulkPublish.h"
#include "publish/SiteInventory.h"

#include <QElapsedTimer>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace Kakiva {

// The progress window of a publish of many files: the unsent files of the site, or all of
// it. Shows files done of all, the current file, bytes and the time left. A failure shows
// its reason and the run is tried again, after a growing pause, with the files still to
// send, for as long as the window stays open; on success it closes itself (PublishWindow).
// "中止" or Escape stops at once. A server certificate or an SSH host key to be trusted is
// asked about in "証明書の確認" or "ホスト鍵の確認" over this window; one the user refuses
// shows "証明書エラー" or "ホスト鍵エラー" and ends the runs.
class SendFor : public PublishWindow
{
    Q_OBJECT

public:
    enum class Scope
    {
        Unsent,    // what differs from what the server holds
        Everything // the whole tree, whatever the record says
    };

    explicit SendFor(Scope scope, QWidget *parent = nullptr);

    void setMaxSessions(int sessions) { m_maxSessions = sessions; }
    int filesToSend() const { return static_cast<int>(m_pending.size()); }

    QLabel *CountLab = nullptr;
    QProgressBar *SendBar = nullptr;
    QLabel *FileLab = nullptr;
    QLabel *BytesLab = nullptr;
    QLabel *TimeLab = nullptr;
    QLabel *StatusLab = nullptr;
    QPushButton *StopCom = nullptr;
    QTimer *const SendTim;

protected:
    Job prepareRun() override;
    void showEnd(const PublishOutcome &outcome,
                 std::optional<std::chrono::milliseconds> retryIn) override;
    void takeOutcome(const PublishOutcome &outcome) override;

private:
    // settings: read once for the whole of opening the window and its first run.
    SendFor(Scope scope, const Settings &settings, QWidget *parent);

    void buildControls();
    void showProgress(const BulkProgress &progress);

    QList<SiteFile> m_pending;
    int m_filesTotal = 0;
    qint64 m_bytesTotal = 0;
    int m_filesBefore = 0; // confirmed by earlier runs of this window
    qint64 m_bytesBefore = 0;
    QElapsedTimer m_runClock;

    int m_maxSessions = BulkPublish::MaxSessions;
};

} // namespace Kakiva
