#pragma once

#include "publish/OutcomeKind.h"
#include "publish/PublishRun.h"
#include "publish/SiteInventory.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace Kakiva {

class PublishSession;

// One upload attempt of the pages a change to a day wrote, named by their paths below the
// HTML tree (the same below the remote directory): connect to the requested destination,
// change to its remote directory, and send the pages from the top of the site down, each
// directory's list before its other pages, entering (or making) each directory on the way.
// For the four pages of a date that is: the year list, the year directory and its month
// list, the month directory, its day list and the day page. Files of the site that are not
// generated pages (the front page, the style sheet, latest.html, the feed) follow them, back
// in the remote directory, in the same session. Then the pages of days deleted
// since the last upload there are removed (carryOutRemovals). Each stage reports its
// kind of outcome as it happens; the record learns each page as the server confirms it. A client
// that stores files together (SFTP) enters (or makes) the deepest directory right after the
// remote directory and sends the pages at once: a refused page then leaves the others
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

    PublishOutcome run(const QStringList &sitePaths);

    // The order the pages go up in: the generated pages first, by directory from the top
    // down, a directory's list before its other pages; then the other files of the site;
    // otherwise as given.
    static QStringList sendingOrder(QStringList sitePaths);

private:
    bool logIn();
    bool enter(const QString &directory);
    bool removeLeftTemporaries();
    bool sendOneByOne(const QList<SiteFile> &files, bool last);
    bool storeInPlace(const QList<SiteFile> &files, bool last);
    bool sendTogether(const QList<SiteFile> &files, bool last);
    // The status of a store as it ends; false when it failed or the run was cancelled.
    bool shown(qint16 result, bool last);
    static SiteFile siteFileOf(const QString &sitePath);
    bool removeDeletedDays();
    bool fail(OutcomeKind stage);

    PublishRequest m_request;
    StatusSink m_status;
    PublishRun *m_run = nullptr;
    PublishSession *m_session = nullptr;
    bool m_failureShown = false;
};

} // namespace Kakiva
