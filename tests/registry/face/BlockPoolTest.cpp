// The decode blocks kept between photos: which idle block a photo takes
// back, and how many bytes stay idle.

#include "registry/face/BlockPool.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora::registry {
namespace {

struct Row {
    std::string name;
    std::size_t kept;
    std::vector<std::size_t> given; // block sizes given back, oldest first
    std::size_t taken;              // then one take of this many bytes
    int expected;                   // index into `given` of the block taken back; -1 for a new block
    std::size_t idleAfter;
};

const std::vector<Row> ROWS = {
    {"the same size is taken back", 100, {40}, 40, 0, 0},
    {"a slightly larger block serves", 100, {44}, 40, 0, 0},
    {"a block over a quarter larger is left idle", 100, {60}, 40, -1, 60},
    {"a smaller block never serves", 100, {39}, 40, -1, 39},
    {"the smallest that serves is taken", 200, {48, 41, 45}, 40, 1, 93},
    {"beyond the bytes kept the oldest go", 100, {40, 41, 42}, 42, 2, 41},
    {"a block larger than all kept is not kept", 30, {40}, 40, -1, 0},
    {"nothing idle: a new block", 100, {}, 12, -1, 0},
};

TEST(BlockPoolTest, TakesBackTheFittingBlockAndKeepsOnlyTheBytesItIsTold)
{
    for (const Row& row : ROWS) {
        SCOPED_TRACE(row.name);
        BlockPool pool(row.kept);
        // All taken before any is given back, so each is a new block.
        std::vector<BlockPool::Block> blocks;
        for (const std::size_t size : row.given)
            blocks.push_back(pool.take(size));
        std::vector<const unsigned char*> given;
        for (BlockPool::Block& block : blocks) {
            ASSERT_EQ(block.size, row.given[given.size()]);
            given.push_back(block.data.get());
            pool.give(std::move(block));
        }
        const BlockPool::Block block = pool.take(row.taken);
        ASSERT_NE(block.data, nullptr);
        if (row.expected < 0)
            EXPECT_EQ(block.size, row.taken); // new, not an idle one
        else
            EXPECT_EQ(block.data.get(), given[static_cast<std::size_t>(row.expected)]);
        EXPECT_EQ(pool.idleBytes(), row.idleAfter);
    }
}

} // namespace
} // namespace velmora::registry
