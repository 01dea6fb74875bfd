#pragma once

#include "app/publish/PublishWindow.h"
#include "journal/SiteChange.h"

class QLabel;
class QPushButton;
class QTimer;

namespace Kakiva {

// The upload window: sends the pages a change to one day wrote (for a saved day its four
// pages) and reports each stage on UpLab.
// After a failure it stays open and tries again after a growing pause; on success it closes
// itself (PublishWindow). A server certificate or an SSH host key to be trusted is asked about
// in "証明書の確認" or "ホスト鍵の確認" over this window; one the user refuses ends the attempts.
class UpFor : public PublishWindow
{
    Q_OBJECT

public:
    // settings: as read for the save, for the first attempt.
    UpFor(journal::SiteChange change, Settings settings, QWidget *parent = nullptr);

    QLabel *UpLab;
    QPushButton *CloseCom;
    QTimer *const UpTim;

protected:
    Job prepareRun() override;
    void showEnd(const PublishOutcome &outcome, std::optional<std::chrono::milliseconds>) override;

private:
    void buildControls();
    void showStatus(const QString &status);

    QStringList m_pages; // below the HTML tree
};

} // namespace Kakiva
