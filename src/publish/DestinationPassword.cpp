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

DestinationPassword destinationPassword(const Settings &settings,
                                        const std::function<bool()> &cancelled)
{
    const ResolvedPassword resolved = resolvePassword(settings, cancelled);
    return {resolved.password, failureKind(resolved.status)};
}

} // namespace Kakiva
