#include "app/publish/WorkerTrustQuestion.h"

#include "app/publish/CertFor.h"
#include "app/publish/HostKeyFor.h"

#include <QWidget>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

namespace Kakiva {

namespace {

// How often a worker waiting for the user's answer looks at the cancel flag.
constexpr std::chrono::milliseconds AnswerSlice{50};

// The user's answer to one trust question, handed from the window's thread to the worker.
struct TrustAnswer
{
    std::mutex mutex;
    std::condition_variable given;
    std::optional<bool> trusted;
};

template <typename Window, typename Question>
bool askFromWorker(QWidget *window, const Question &question, const std::atomic_bool &cancel)
{
    auto answer = std::make_shared<TrustAnswer>();
    QMetaObject::invokeMethod(
        window,
        [window, question, answer] {
            Window dialog(question, window);
            const bool trusted = dialog.exec() == QDialog::Accepted;
            const std::lock_guard lock(answer->mutex);
            answer->trusted = trusted;
            answer->given.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(answer->mutex);
    while (!answer->trusted) {
        if (cancel)
            return false;
        answer->given.wait_for(lock, AnswerSlice);
    }
    return *answer->trusted;
}

} // namespace

bool askTrustFromWorker(QWidget *window, const CertificateQuestion &question,
                        const std::atomic_bool &cancel)
{
    return askFromWorker<CertFor>(window, question, cancel);
}

bool askTrustFromWorker(QWidget *window, const HostKeyQuestion &question,
                        const std::atomic_bool &cancel)
{
    return askFromWorker<HostKeyFor>(window, question, cancel);
}

ServerIdentityTrust::Questions trustQuestionsFromWorker(QWidget *window,
                                                        const std::atomic_bool *cancel)
{
    return {[window, cancel](const CertificateQuestion &question) {
                return askTrustFromWorker(window, question, *cancel);
            },
            [window, cancel](const HostKeyQuestion &question) {
                return askTrustFromWorker(window, question, *cancel);
            }};
}

} // namespace Kakiva
