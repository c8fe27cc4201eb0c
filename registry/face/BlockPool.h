#pragma once

// Memory blocks for decoded photos, kept for the next photo once given back.
// A 12-megapixel photo decodes into 12 MB; freed, so large a block goes back
// to the system, and the next photo's block is a fresh mapping whose every
// page faults in again on first touch (in the export benchmark about a third
// of the time a photo takes). A photo of the same size takes the block back
// as it was. Only as many bytes as the pool is told stay idle, so a burst of
// photos does not leave the program holding their decodes.

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

namespace velmora::registry {

class BlockPool {
public:
    struct Block {
        std::unique_ptr<unsigned char[]> data;
        std::size_t size = 0;
    };

    explicit BlockPool(std::size_t keptBytes);

    // A block of at least `bytes`: the smallest idle one that holds them
    // without wasting more than a quarter of itself, or a new one of exactly
    // `bytes` (uninitialised).
    Block take(std::size_t bytes);

    // Keeps `block` for a later take; when the idle blocks then exceed the
    // bytes kept, the ones given back longest ago are freed.
    void give(Block block);

    std::size_t idleBytes() const;

private:
    const std::size_t m_keptBytes;
    mutable std::mutex m_mutex;
    std::vector<Block> m_idle; // oldest first
    std::size_t m_idleBytes = 0;
};

} // namespace velmora::registry
