#include "registry/face/BlockPool.h"

#include <iterator>

namespace velmora::registry {

BlockPool::BlockPool(std::size_t keptBytes)
    : m_keptBytes(keptBytes)
{
}

BlockPool::Block BlockPool::take(std::size_t bytes)
{
    {
        std::lock_guard lock(m_mutex);
        auto best = m_idle.end();
        for (auto it = m_idle.begin(); it != m_idle.end(); ++it)
            if (it->size >= bytes && it->size - bytes <= it->size / 4 && (best == m_idle.end() || it->size < best->size))
                best = it;
        if (best != m_idle.end()) {
            Block found = std::move(*best);
            m_idle.erase(best);
            m_idleBytes -= found.size;
            return found;
        }
    }
    return {std::make_unique_for_overwrite<unsigned char[]>(bytes), bytes};
}

void BlockPool::give(Block block)
{
    if (!block.data)
        return;
    std::vector<Block> freed; // freed outside the lock
    std::lock_guard lock(m_mutex);
    m_idleBytes += block.size;
    m_idle.push_back(std::move(block));
    auto keep = m_idle.begin();
    while (m_idleBytes > m_keptBytes && keep != m_idle.end()) {
        m_idleBytes -= keep->size;
        ++keep;
    }
    freed.assign(std::make_move_iterator(m_idle.begin()), std::make_move_iterator(keep));
    m_idle.erase(m_idle.begin(), keep);
}

std::size_t BlockPool::idleBytes() const
{
    std::lock_guard lock(m_mutex);
    return m_idleBytes;
}

} // namespace velmora::registry
