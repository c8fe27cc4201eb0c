#include "link/PhotoWriter.h"

#include <utility>

namespace velmora::link {

PhotoWriter::PhotoWriter(Written written, Idle idle, std::size_t waitingLimit)
    : m_written(std::move(written)), m_idleWork(std::move(idle)), m_limit(waitingLimit),
      m_thread([this] { run(); })
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
        const auto ready = [this] { return m_stopping || !m_jobs.empty(); };
        if (m_putOff && !m_wake.wait_until(lock, *m_putOff, ready)) {
            // Nothing came before the work put off was due. It counts as
            // idle: finish() does not wait for it.
            m_putOff.reset();
            lock.unlock();
            if (m_idleWork)
                m_idleWork();
            lock.lock();
            continue;
        }
        m_wake.wait(lock, ready);
        if (m_jobs.empty())
            return; // stopping, and everything is written
        StoreJob job = std::move(m_jobs.front());
        m_jobs.pop_front();
        m_busy = true;
        const std::size_t size = job.photo.size();
        lock.unlock();
        const StoreResult result = store(job);
        if (m_written)
            m_putOff = m_written(job, result);
        lock.lock();
        m_waitingBytes -= size;
        m_busy = false;
        if (m_jobs.empty())
            m_idle.notify_all();
    }
}

} // namespace velmora::link
