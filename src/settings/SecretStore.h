#pragma once

#include <QMetaType>
#include <QString>

#include <chrono>
#include <functional>

class QObject;

namespace Kakiva {

// How a call to the desktop's keyring ended.
enum class SecretStatus
{
    Done,        // stored, or found: then the answer holds the secret
    NotFound,    // the keyring answered that it holds no such entry
    Unavailable, // no keyring in this session, or it refused (locked, access denied)
    TimedOut     // no answer in time; the keyring may still be asking the user
};

struct SecretAnswer
{
    SecretStatus status = SecretStatus::Unavailable;
    QString secret;
};

// The entry of one destination in the keyring: service "Kakiva", one entry per user name
// and server, named as people write them, so the keyring's own tools show it readably.
QString secretKey(const QString &server, const QString &user);

// The desktop's keyring, served from a thread of its own so that no caller's thread ever
// waits on it longer than it chooses.
namespace SecretStore {

using Reply = std::function<void(const SecretAnswer &)>;

// Without waiting: reply runs once, in context's thread, with the keyring's answer or with
// TimedOut once timeout has passed; never after context is gone.
void read(const QString &key, std::chrono::milliseconds timeout, QObject *context, Reply reply);
void write(const QString &key, const QString &secret, std::chrono::milliseconds timeout,
           QObject *context, Reply reply);

// Asked now and then while waiting; true gives up.
using CancelCheck = std::function<bool()>;

// Waiting, for a worker thread: returns the answer, or TimedOut after timeout or soon
// after cancelled says so.
SecretAnswer readNow(const QString &key, std::chrono::milliseconds timeout,
                     const CancelCheck &cancelled = {});
SecretAnswer writeNow(const QString &key, const QString &secret, std::chrono::milliseconds timeout);

} // namespace SecretStore

} // namespace Kakiva

Q_DECLARE_METATYPE(Kakiva::SecretAnswer)
