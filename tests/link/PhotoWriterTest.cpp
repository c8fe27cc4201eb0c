// The photo writer at closing: the window waits a bounded time for the disk,
// and a write that never returns (a share whose cable was pulled, played here
// by the slow-disk play of the file seam) must not hold the program for ever.

#include "link/PhotoWriter.h"
#include "platform/Files.h"

#include "tests/support/TempTree.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace fs = std::filesystem;
using velmora::link::PhotoName;
using velmora::link::PhotoWriter;
using velmora::link::StoreJob;
using velmora::link::StoreResult;
using velmora::test::TempTree;

namespace {

StoreJob photoJob(const fs::path& folder, const char* name, std::size_t size)
{
    StoreJob job;
    job.receiveDirectory = folder;
    job.name = PhotoName(name);
    job.photo.assign(size, 'p');
    return job;
}

// The temporary file appears once the write is under way.
bool writeUnderWay(const fs::path& folder)
{
    for (int i = 0; i < 2000; ++i) {
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (entry.path().extension() == ".tmp")
                return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

TEST(PhotoWriterClosing, WriteThatNeverReturnsIsLeftBehind)
{
    TempTree tree;
    std::atomic<int> reported{0};
    // At 1 000 bytes a second the first photo takes about 17 minutes.
    velmora::platform::setWriteRateLimit(1000);
    {
        PhotoWriter writer([&](StoreJob&, const StoreResult&) {
            ++reported;
            return std::optional<PhotoWriter::Clock::time_point>();
        });
        writer.push(photoJob(tree.root(), "a.jpg", 1024 * 1024));
        writer.push(photoJob(tree.root(), "b.jpg", 100));
        ASSERT_TRUE(writeUnderWay(tree.root()));
        EXPECT_FALSE(writer.finish(std::chrono::milliseconds(10)));
        writer.abandon();
    } // the test hangs here if the writer waits for the write
    velmora::platform::setWriteRateLimit(0);
    EXPECT_EQ(reported, 0);
    EXPECT_TRUE(PhotoWriter::writesLeftBehind());
    EXPECT_FALSE(fs::exists(tree.root() / "a.jpg"));
    EXPECT_FALSE(fs::exists(tree.root() / "b.jpg"));
}

// Without abandon() everything pushed is written before the writer goes.
TEST(PhotoWriterClosing, OrdinaryEndWritesEverything)
{
    TempTree tree;
    std::atomic<int> reported{0};
    {
        PhotoWriter writer([&](StoreJob&, const StoreResult& result) {
            reported += result.ok() ? 1 : 0;
            return std::optional<PhotoWriter::Clock::time_point>();
        });
        for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
            writer.push(photoJob(tree.root(), name, 5000));
    }
    EXPECT_EQ(reported, 3);
    EXPECT_EQ(TempTree::read(tree.root() / "c.jpg"), std::string(5000, 'p'));
}

} // namespace
