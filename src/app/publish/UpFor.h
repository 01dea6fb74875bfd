#pragma once

#include "app/publish/PublishWindow.h"
#include "diary/DateStrings.h"

#include <functional>

class QLabel;
class QPushButton;
class QTimer;

namespace Kakiva {

// The upload window: sends the four pages of one date and reports each stage on UpLab.
// After a failure it stays open and tries again after a growing pause; on success it closes
// itself (PublishWindow). A server certificate or an SSH host key to be trusted is asked about
// in "証明書の確認" or "ホスト鍵の確認" over this window; one the user refuses ends the attempts.
class UpFor : public PublishWindow
{
    Q_OBJECT

public:
    using DateSource = std::function<DateFields()>;

    // dateSource is asked for the date at the start of every attempt.
    explicit UpFor(DateSource dateSource, QWidget *parent = nullptr);

    QLabel *UpLab;
    QPushButton *CloseCom;
    QTimer *const UpTim;

protected:
    Job prepareRun() override;
    void showEnd(const PublishOutcome &outcome, std::optional<std::chrono::milliseconds>) override;

private:
    void buildControls();
    void showStatus(const QString &status);

    DateSource m_dateSource;
};

} // namespace Kakiva
