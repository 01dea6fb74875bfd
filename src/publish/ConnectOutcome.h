#pragma once

#include "publish/OutcomeKind.h"

#include <QtGlobal>

namespace Kakiva {

// How the upload reads a Connect result: by the ranges and values the clients share.
struct ConnectOutcome
{
    OutcomeKind kind = OutcomeKind::None; // None: not classed, the status line stays as it is
    bool failed = false;
    bool final = false; // retrying cannot help until the server or the settings change
};
ConnectOutcome classifyConnectResult(qint16 result);

} // namespace Kakiva
