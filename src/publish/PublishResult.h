#pragma once

namespace Kakiva {

// How one upload attempt or one publish of many files ended.
enum class PublishResult
{
    Succeeded,
    Failed,
    Cancelled,
    CertificateRefused, // asking again at once would only get the same answer
    HostKeyRefused,     // likewise
    NoPassword          // the keyring gave none: only the settings dialog mends that
};

} // namespace Kakiva
