#include "publish/DestinationPassword.h"

#include "settings/StoredPassword.h"

namespace Kakiva {

namespace {

OutcomeKind failureKind(ResolvedPassword::Status status)
{
    switch (status) {
    case ResolvedPassword::Status::Ready:
        break;
    case ResolvedPassword::Status::NotInKeyring:
        return OutcomeKind::NoPassword;
    case ResolvedPassword::Status::KeyringUnavailable:
        return OutcomeKind::KeyringUnavailable;
    case ResolvedPassword::Status::KeyringTimedOut:
        return OutcomeKind::KeyringTimedOut;
    }
    return {};
}

} // namespace

DestinationPassword destinationPassword(const PublishDestination &destination,
                                        const std::function<bool()> &cancelled)
{
    const ResolvedPassword resolved =
        resolvePassword(destination.server, destination.user, cancelled);
    return {resolved.password, failureKind(resolved.status)};
}

} // namespace Kakiva
