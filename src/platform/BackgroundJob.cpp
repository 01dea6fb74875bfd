#include "platform/BackgroundJob.h"

#include <QThread>

namespace Kakiva {

void JobProgress::reset()
{
    m_cancel = false;
    m_total = 0;
    m_done = 0;
}

BackgroundJob::BackgroundJob(QObject *parent) : QObject(parent) {}

BackgroundJob::~BackgroundJob()
{
    if (!m_thread)
        return;
    m_progress.cancel();
    m_thread->wait();
}

bool BackgroundJob::start(Job job)
{
    if (isRunning() || m_stopped)
        return false;
    m_progress.reset();
    m_thread.reset(QThread::create([this, job = std::move(job)] { job(m_progress); }));
    connect(m_thread.get(), &QThread::finished, this, &BackgroundJob::joined);
    m_thread->start();
    return true;
}

void BackgroundJob::stop()
{
    m_stopped = true;
    m_progress.cancel();
}

void BackgroundJob::wait()
{
    if (m_thread)
        m_thread->wait();
}

void BackgroundJob::joined()
{
    m_thread->wait();
    m_thread.reset();
    emit finished();
}

} // namespace Kakiva
