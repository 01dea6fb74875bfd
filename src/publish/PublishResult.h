#pragma once

#include "publish/PublishFailure.h"
#include "publish/client/WireStats.h"

#include <QString>
#include <QStringList>

namespace Kakiva {

// How one upload attempt or one publish of many files ended.
enum class PublishResult
{
    Succeeded,
    Failed,
    Cancelled,
    CertificateRefused, // asking again at once would only get the same answer
    HostKeyRefused,     // likewise
    Incompatible,       // no algorithm or login in common with the server: likewise
    NoPassword          // the keyring gave none: only the settings dialog mends that
};

// Whether another attempt at once could only end the same way.
constexpr bool retryCannotHelp(PublishResult result)
{
    return result == PublishResult::CertificateRefused || result == PublishResult::HostKeyRefused ||
           result == PublishResult::Incompatible || result == PublishResult::NoPassword;
}

// What a publishing job reports back to its window.
struct PublishOutcome
{
    PublishResult result = PublishResult::Failed;
    PublishFailure failure;  // why it failed
    QString recordError;     // sent.json could not be written: the pages went, unrecorded
    QStringList confirmed;   // remote paths the server confirmed, in the order it did
    int logins = 0;          // sessions that logged in
    int refusedSessions = 0; // further sessions the server would not take
    WireStats wire;          // all sessions together
};

} // namespace Kakiva
