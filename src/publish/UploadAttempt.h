#pragma once

#include "diary/DateStrings.h"
#include "publish/OutcomeKind.h"
#include "publish/PublishRun.h"
#include "publish/SiteInventory.h"

#include <QString>

#include <functional>

namespace Kakiva {

class PublishSession;

// One upload attempt: connect to the requested destination, change to its remote directory,
// send the year list, enter (or make) the year directory and send its month list, enter (or
// make) the month directory and send the day list and the day page; then the pages of days
// deleted since the last upload there are removed (carryOutRemovals). Each stage reports its
// kind of outcome as it happens; the record learns each page as the server confirms it. A client
// that stores files together (SFTP) enters (or makes) the month directory right after the
// remote directory and sends the four pages at once: a refused page then leaves the others
// sent, and the attempt fails.
//
// A TLS certificate that does not verify is accepted when it is the one pinned for the
// server; an SSH host key when a known-hosts file holds it. Otherwise the request's questions
// are put, and what the user trusts is remembered. A refusal ends the attempt as
// CertificateNotAccepted or HostKeyNotTrusted.
class UploadAttempt
{
public:
    using StatusSink = std::function<void(OutcomeKind stage)>;

    UploadAttempt(PublishRequest request, StatusSink status);

    PublishOutcome run(const DateFields &date);

private:
    bool logIn();
    bool enter(const QString &directory);
    bool sendOneByOne(const DateFields &date, bool last);
    bool sendTogether(const DateFields &date, bool last);
    bool send(const QString &localPath, bool last = false);
    // The status of a store as it ends; false when it failed or the run was cancelled.
    bool shown(qint16 result, bool last);
    static SiteFile siteFileOf(const QString &localPath);
    static QString monthDirectory(const DateFields &date);
    bool removeDeletedDays();
    bool fail(OutcomeKind stage);

    PublishRequest m_request;
    StatusSink m_status;
    PublishRun *m_run = nullptr;
    PublishSession *m_session = nullptr;
};

} // namespace Kakiva
