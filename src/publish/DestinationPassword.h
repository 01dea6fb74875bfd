#pragma once

#include "publish/OutcomeKind.h"
#include "publish/PublishDestination.h"

#include <QString>

#include <functional>

namespace Kakiva {

// The password to log in to a destination with, or why there is none to use.
struct DestinationPassword
{
    QString password;
    OutcomeKind failure = OutcomeKind::None; // why there is none to log in with
};

// Resolved once per run, on the worker's thread, before connecting: the password the settings
// hold, or the keyring's when they point there. A keyring entry
// that has gone, a keyring that refuses or does not answer in time, is a failure, never an
// empty password. Returns early, as a failure, once cancelled says so.
DestinationPassword destinationPassword(const Settings &settings,
                                        const std::function<bool()> &cancelled);

} // namespace Kakiva
