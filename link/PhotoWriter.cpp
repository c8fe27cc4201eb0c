#include "link/PhotoWriter.h"

#include <utility>

namespace velmora::link {

PhotoWriter::PhotoWriter(Written written, std::size_t waitingLimit)
    : m_written(std::move(written)), m_limit(waitingLimit), m_thread([this] { run(); })
{
}

PhotoWriter::~PhotoWriter()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void PhotoWriter::push(StoreJob job)
{
    {
        std::lock_guard lock(m_mutex);
        m_waitingBytes += job.photo.size();
        m_jobs.push_back(std::move(job));
    }
    m_wake.notify_one();
}

std::size_t PhotoWriter::bytesWaiting() const
{
    std::lock_guard lock(m_mutex);
    return m_waitingBytes;
}

bool PhotoWriter::finish(std::chrono::milliseconds bound)
{
    std::unique_lock lock(m_mutex);
    return m_idle.wait_for(lock, bound, [this] { return m_jobs.empty() && !m_busy; });
}

void PhotoWriter::abandon()
{
    std::lock_guard lock(m_mutex);
    for (const StoreJob& job : m_jobs)
        m_waitingBytes -= job.photo.size();
    m_jobs.clear();
}

void PhotoWriter::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
        if (m_jobs.empty())
            return; // stopping, and everything is written
        StoreJob job = std::move(m_jobs.front());
        m_jobs.pop_front();
        m_busy = true;
        const std::size_t size = job.photo.size();
        lock.unlock();
        const StoreResult result = store(job);
        lock.lock();
        const bool more = !m_jobs.empty();
        lock.unlock();
        if (m_written)
            m_written(job, result, more);
        lock.lock();
        m_waitingBytes -= size;
        m_busy = false;
        if (m_jobs.empty())
            m_idle.notify_all();
    }
}

} // namespace velmora::link
