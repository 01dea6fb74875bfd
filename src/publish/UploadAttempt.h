#pragma once

#include "diary/DateStrings.h"
#include "publish/PublishRun.h"

#include <QString>

#include <functional>

namespace Kakiva {

class PublishSession;

// One upload attempt: connect to the requested destination, change to its remote directory,
// send the year list, enter (or make) the year directory and send its month list, enter (or
// make) the month directory and send the day list and the day page; then the pages of days
// deleted since the last upload there are removed (carryOutRemovals). Each stage reports its
// status text as it happens; the record learns each page as the server confirms it.
//
// A TLS certificate that does not verify is accepted when it is the one pinned for the
// server; an SSH host key when a known-hosts file holds it. Otherwise the request's questions
// are put, and what the user trusts is remembered. A refusal ends the attempt with
// "証明書エラー" or "ホスト鍵エラー".
class UploadAttempt
{
public:
    using StatusSink = std::function<void(const QString &status)>;

    UploadAttempt(PublishRequest request, StatusSink status);

    PublishOutcome run(const DateFields &date);

private:
    bool logIn();
    bool enter(const QString &directory);
    bool send(const QString &localPath, bool last = false);
    bool removeDeletedDays();
    bool fail(const QString &status);

    PublishRequest m_request;
    StatusSink m_status;
    PublishRun *m_run = nullptr;
    PublishSession *m_session = nullptr;
};

} // namespace Kakiva
