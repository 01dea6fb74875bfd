#pragma once

namespace Kakiva {

class PublishRun;
class PublishSession;

// Carries out the destination's pending removals (pendingRemovals) over a session that is
// logged in, once the run's own files are in: first the lists above each removed page are
// sent where the server lacks them as they are now, so no list links a page that is gone,
// then each page is removed (PublishSession::remove). False when a step failed; the run
// then has the reason.
bool carryOutRemovals(PublishRun &run, PublishSession &session);

} // namespace Kakiva
