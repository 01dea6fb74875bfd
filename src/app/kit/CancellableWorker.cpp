#include "app/kit/CancellableWorker.h"

#include <QCloseEvent>
#include <QThread>

namespace Kakiva {

CancellableWorker::CancellableWorker(QObject *parent) : QObject(parent) {}

CancellableWorker::~CancellableWorker()
{
    if (!m_thread)
        return;
    m_cancel = true;
    m_thread->wait();
}

void CancellableWorker::start(std::function<void()> job)
{
    if (isRunning() || m_closeRequested)
        return;
    m_cancel = false;
    m_thread.reset(QThread::create(std::move(job)));
    connect(m_thread.get(), &QThread::finished, this, &CancellableWorker::joined);
    m_thread->start();
}

bool CancellableWorker::deferClose(QCloseEvent *event)
{
    if (!isRunning())
        return false;
    m_closeRequested = true;
    m_cancel = true;
    event->ignore();
    return true;
}

void CancellableWorker::joined()
{
    m_thread->wait();
    m_thread.reset();
    emit finished();
}

} // namespace Kakiva
