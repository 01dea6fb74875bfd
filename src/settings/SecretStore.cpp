#include "settings/SecretStore.h"
#include "settings/SecretRequest.h"

#include <qt6keychain/keychain.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace Kakiva {

namespace {

const QString Service = QStringLiteral("Kakiva");

using JobMaker = std::function<QKeychain::Job *()>;

SecretStatus statusOf(QKeychain::Error error)
{
    switch (error) {
    case QKeychain::NoError:
        return SecretStatus::Done;
    case QKeychain::EntryNotFound:
        return SecretStatus::NotFound;
    default:
        return SecretStatus::Unavailable;
    }
}

std::mutex threadMutex;
QThread *thread = nullptr;

void stopKeyringThread()
{
    const std::lock_guard lock(threadMutex);
    thread->quit();
    // A keyring call that never comes back must not hold up the end of the program.
    if (thread->wait(QDeadlineTimer(2000)))
        delete thread;
    thread = nullptr;
}

// Every keyring job runs on this one thread: the library queues its jobs in an object of
// the thread that first used it, and answers through that thread's event loop.
QThread *keyringThread()
{
    const std::lock_guard lock(threadMutex);
    if (!thread) {
        thread = new QThread;
        thread->setObjectName(QStringLiteral("keyring"));
        thread->start();
        qAddPostRoutine(stopKeyringThread);
    }
    return thread;
}

void post(JobMaker make, SecretRequest *request)
{
    request->moveToThread(keyringThread());
    QMetaObject::invokeMethod(
        request,
        [request, make = std::move(make)] {
            QKeychain::Job *job = make();
            QObject::connect(
                job, &QKeychain::Job::finished, request, [request](QKeychain::Job *finished) {
                    SecretAnswer answer{statusOf(finished->error()), {}};
                    if (auto *read = qobject_cast<QKeychain::ReadPasswordJob *>(finished))
                        answer.secret = read->textData();
                    emit request->answered(answer);
                    request->deleteLater();
                });
            job->start();
        },
        Qt::QueuedConnection);
}

void ask(JobMaker make, std::chrono::milliseconds timeout, QObject *context,
         SecretStore::Reply reply)
{
    auto *request = new SecretRequest;
    auto given = std::make_shared<bool>(false);
    // Both run in context's thread, so the first of them alone answers.
    const auto answerOnce = [given, reply = std::move(reply)](const SecretAnswer &answer) {
        if (std::exchange(*given, true))
            return;
        reply(answer);
    };
    QObject::connect(request, &SecretRequest::answered, context, answerOnce);
    QTimer::singleShot(timeout, context, [answerOnce] {
        answerOnce({SecretStatus::TimedOut, {}});
    });
    post(std::move(make), request);
}

SecretAnswer askNow(JobMaker make, std::chrono::milliseconds timeout,
                    const SecretStore::CancelCheck &cancelled)
{
    struct Mailbox
    {
        std::mutex mutex;
        std::condition_variable arrived;
        std::optional<SecretAnswer> answer;
    };
    auto box = std::make_shared<Mailbox>();
    auto *request = new SecretRequest;
    QObject::connect(
        request, &SecretRequest::answered, request,
        [box](const SecretAnswer &answer) {
            {
                const std::lock_guard lock(box->mutex);
                box->answer = answer;
            }
            box->arrived.notify_all();
        },
        Qt::DirectConnection);
    post(std::move(make), request);
    // Woken now and then to see whether the caller has given up.
    constexpr std::chrono::milliseconds CancelCheck{50};
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock lock(box->mutex);
    while (!box->answer) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline || (cancelled && cancelled()))
            return {SecretStatus::TimedOut, {}};
        box->arrived.wait_for(
            lock, std::min<std::chrono::steady_clock::duration>(CancelCheck, deadline - now));
    }
    return *box->answer;
}

JobMaker readJob(const QString &key)
{
    return [key] {
        auto *job = new QKeychain::ReadPasswordJob(Service);
        job->setKey(key);
        return job;
    };
}

JobMaker writeJob(const QString &key, const QString &secret)
{
    return [key, secret] {
        auto *job = new QKeychain::WritePasswordJob(Service);
        job->setKey(key);
        job->setTextData(secret);
        return job;
    };
}

} // namespace

QString secretKey(const QString &server, const QString &user)
{
    return user + QLatin1Char('@') + server;
}

namespace SecretStore {

void read(const QString &key, std::chrono::milliseconds timeout, QObject *context, Reply reply)
{
    ask(readJob(key), timeout, context, std::move(reply));
}

void write(const QString &key, const QString &secret, std::chrono::milliseconds timeout,
           QObject *context, Reply reply)
{
    ask(writeJob(key, secret), timeout, context, std::move(reply));
}

SecretAnswer readNow(const QString &key, std::chrono::milliseconds timeout,
                     const CancelCheck &cancelled)
{
    return askNow(readJob(key), timeout, cancelled);
}

SecretAnswer writeNow(const QString &key, const QString &secret, std::chrono::milliseconds timeout)
{
    return askNow(writeJob(key, secret), timeout, {});
}

} // namespace SecretStore

} // namespace Kakiva
