#pragma once

#include "publish/ServerIdentityTrust.h"
#include "publish/client/CertificateQuestion.h"
#include "publish/client/HostKeyQuestion.h"

#include <atomic>

class QWidget;

namespace Kakiva {

// Run on a worker thread: ask "証明書の確認" or "ホスト鍵の確認" over window, on the window's own
// thread, and return the user's answer (true trusts). The worker waits in slices, so that
// closing the window (which raises cancel) never leaves it waiting; a cancelled question reads
// as no.
bool askTrustFromWorker(QWidget *window, const CertificateQuestion &question,
                        const std::atomic_bool &cancel);
bool askTrustFromWorker(QWidget *window, const HostKeyQuestion &question,
                        const std::atomic_bool &cancel);

// Both questions, asked over window from the worker that publishes; cancel must outlive them.
ServerIdentityTrust::Questions trustQuestionsFromWorker(QWidget *window,
                                                        const std::atomic_bool *cancel);

} // namespace Kakiva
