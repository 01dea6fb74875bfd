#pragma once

#include <QString>

#include <optional>

namespace Kakiva {

class PublishClient;
class ServerRecord;

// Carries out the pending removals (pendingRemovals) of a destination over a session that
// is logged in: first the lists above each removed page are sent where the server lacks
// them as they are now, so no list links a page that is gone, then each page is removed and
// the record told. A page the server no longer has, or whose directory is gone, counts as
// removed. root is the remote directory setting; current is where the session is (nullopt:
// its login directory), kept up to date. Empty when everything is done; otherwise the
// reason, for the user, of the step that failed.
QString carryOutRemovals(PublishClient &client, ServerRecord &record, const QString &root,
                         std::optional<QString> &current);

} // namespace Kakiva
