#include "link/PhotoMemory.h"

#include <algorithm>
#include <chrono>

namespace velmora::link {
namespace {

// How often a waiting take() asks whether it is still wanted.
constexpr std::chrono::milliseconds LOOK_AGAIN{5};

} // namespace

PhotoMemory::PhotoMemory(std::function<Elsewhere()> elsewhere, std::size_t limit)
    : m_limit(limit), m_elsewhere(std::move(elsewhere))
{
}

PhotoMemory::Hold::Hold(Hold&& other) noexcept
    : m_memory(std::move(other.m_memory)), m_bytes(other.m_bytes)
{
}

PhotoMemory::Hold& PhotoMemory::Hold::operator=(Hold&& other) noexcept
{
    if (this != &other) {
        if (m_memory)
            m_memory->release(m_bytes);
        m_memory = std::move(other.m_memory);
        m_bytes = other.m_bytes;
    }
    return *this;
}

PhotoMemory::Hold::~Hold()
{
    if (m_memory)
        m_memory->release(m_bytes);
}

void PhotoMemory::setReserve(std::size_t bytes)
{
    std::lock_guard lock(m_mutex);
    m_reserve = bytes;
}

std::size_t PhotoMemory::counted() const
{
    std::lock_guard lock(m_mutex);
    return std::max(m_held, m_reserve);
}

std::optional<PhotoMemory::Hold> PhotoMemory::take(std::size_t bytes, const std::function<bool()>& givenUp)
{
    std::unique_lock lock(m_mutex);
    m_held += bytes;
    for (;;) {
        lock.unlock();
        const bool wanted = !givenUp();
        lock.lock();
        if (!wanted) {
            m_held -= bytes;
            return std::nullopt;
        }
        if (m_held <= m_reserve || !m_elsewhere)
            return Hold(shared_from_this(), bytes);
        // Asked under the lock, so that once detach() returns the writer's
        // figures are asked no more (they take the writer's own lock, never
        // this one).
        const Elsewhere others = m_elsewhere();
        if (others.waiting == 0 || others.waiting + others.inMemory + m_held <= m_limit)
            return Hold(shared_from_this(), bytes);
        m_changed.wait_for(lock, LOOK_AGAIN);
    }
}

void PhotoMemory::detach()
{
    {
        std::lock_guard lock(m_mutex);
        m_elsewhere = nullptr;
    }
    m_changed.notify_all();
}

void PhotoMemory::release(std::size_t bytes)
{
    {
        std::lock_guard lock(m_mutex);
        m_held -= bytes;
    }
    m_changed.notify_all();
}

} // namespace velmora::link
