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
    Incompatible        // no algorithm or login in common with the server: likewise
};

// Whether another attempt at once could only end the same way.
constexpr bool retryCannotHelp(PublishResult result)
{
    return result == PublishResult::CertificateRefused || result == PublishResult::HostKeyRefused ||
           result == PublishResult::Incompatible;
}

} // namespace Kakiva
