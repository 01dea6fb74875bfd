#pragma once

#include "publish/FtpTls.h"

#include <atomic>

class QWidget;

namespace Kakiva {

// Runs on a worker thread: asks "証明書の確認" over window, on the window's own thread, and
// returns the user's answer (true trusts). The worker waits in slices, so that closing the
// window (which raises cancel) never leaves it waiting; a cancelled question reads as no.
bool askTrustFromWorker(QWidget *window, const FtpCertificateQuestion &question,
                        const std::atomic_bool &cancel);

} // namespace Kakiva
