#include "publish/DestinationPassword.h"

#include "publish/UploadStatus.h"
#include "settings/StoredPassword.h"

namespace Kakiva {

namespace {

QString failureStatus(ResolvedPassword::Status status)
{
    switch (status) {
    case ResolvedPassword::Status::Ready:
        break;
    case ResolvedPassword::Status::NotInKeyring:
        return UploadStatus::NoPassword;
    case ResolvedPassword::Status::KeyringUnavailable:
        return UploadStatus::KeyringError;
    case ResolvedPassword::Status::KeyringTimedOut:
        return UploadStatus::KeyringTimedOut;
    }
    return {};
}

} // namespace

DestinationPassword destinationPassword(const Settings &settings,
                                        const std::function<bool()> &cancelled)
{
    const ResolvedPassword resolved = resolvePassword(settings, cancelled);
    return {resolved.password, failureStatus(resolved.status)};
}

} // namespace Kakiva
