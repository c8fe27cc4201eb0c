// The account of what the window's verdict holds of photos, beside the
// photos waiting for the disk: when a judging may go ahead, that it counts
// while it waits (so reading stops and the disk makes room), and that
// nothing stays counted once it is over or given up.

#include "link/PhotoMemory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

using velmora::link::PhotoMemory;

namespace {

constexpr std::size_t MiB = 1024 * 1024;
constexpr std::size_t LIMIT = 240 * MiB;
constexpr std::size_t RESERVE = 28 * MiB;

struct TakeCase {
    const char* name;
    std::size_t bytes;
    // What the writer reports each time it is asked; the last one stays.
    std::vector<PhotoMemory::Elsewhere> reports;
    int askedBeforeGivenUp; // -1: never given up
    bool granted;
};

class PhotoMemoryTake : public testing::TestWithParam<TakeCase> {};

// Guards against a verdict that waits for room the disk can never make
// (reading would then stay stopped), one that goes ahead beside a full
// writer (the bound broken), and a hold given up that stays counted.
TEST_P(PhotoMemoryTake, GrantedWhenItFitsOrNothingCanMakeRoom)
{
    const TakeCase& c = GetParam();
    std::size_t asked = 0;
    auto memory = std::make_shared<PhotoMemory>([&] { return c.reports[std::min(asked++, c.reports.size() - 1)]; },
                                                LIMIT);
    memory->setReserve(RESERVE);
    int givenUpAsked = 0;
    std::optional<PhotoMemory::Hold> hold
        = memory->take(c.bytes, [&] { return c.askedBeforeGivenUp >= 0 && givenUpAsked++ >= c.askedBeforeGivenUp; });
    EXPECT_EQ(hold.has_value(), c.granted);
    EXPECT_EQ(memory->counted(), c.granted ? std::max(c.bytes, RESERVE) : RESERVE);
    hold.reset();
    EXPECT_EQ(memory->counted(), RESERVE);
}

INSTANTIATE_TEST_SUITE_P(Rows, PhotoMemoryTake, testing::Values(
    TakeCase{"ordinary photo beside a full writer, within the reserve", 25 * MiB, {{LIMIT, 0}}, -1, true},
    TakeCase{"large photo that fits beside the photos waiting", 90 * MiB, {{100 * MiB, 50 * MiB}}, -1, true},
    TakeCase{"large photo, granted once the disk has written enough", 90 * MiB,
             {{212 * MiB, 0}, {200 * MiB, 0}, {150 * MiB, 0}}, -1, true},
    TakeCase{"large photo, only photos held while the folder is gone", 90 * MiB, {{0, 200 * MiB}}, -1, true},
    TakeCase{"photo larger than the bound, nothing waiting", 300 * MiB, {{LIMIT, 0}, {0, 0}}, -1, true},
    TakeCase{"large photo given up while the writer is full", 90 * MiB, {{212 * MiB, 0}}, 3, false},
    TakeCase{"given up before it is asked for room", 25 * MiB, {{0, 0}}, 0, false}),
    [](const testing::TestParamInfo<TakeCase>& info) {
        std::string name = info.param.name;
        for (char& ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return name;
    });

// Guards against a waiting hold that is not counted: reading would go on
// filling the writer, and the disk would never make the room it waits for.
TEST(PhotoMemoryWaiting, CountedWhileItWaitsForTheDisk)
{
    std::atomic<std::size_t> waiting{LIMIT};
    auto memory = std::make_shared<PhotoMemory>(
        [&] { return PhotoMemory::Elsewhere{waiting.load(), 0}; }, LIMIT);
    memory->setReserve(RESERVE);
    std::atomic<bool> granted{false};
    std::thread judging([&] { granted = memory->take(90 * MiB, [] { return false; }).has_value(); });
    // Until it is counted, the writer stays full.
    while (memory->counted() != 90 * MiB)
        std::this_thread::yield();
    EXPECT_FALSE(granted);
    waiting = 100 * MiB;
    judging.join();
    EXPECT_TRUE(granted);
    EXPECT_EQ(memory->counted(), RESERVE);
}

// Guards against a verdict left waiting for a phone link that is gone.
TEST(PhotoMemoryWaiting, GrantedOnceTheWriterIsGone)
{
    auto memory = std::make_shared<PhotoMemory>([] { return PhotoMemory::Elsewhere{LIMIT, 0}; }, LIMIT);
    std::atomic<bool> granted{false};
    std::thread judging([&] { granted = memory->take(90 * MiB, [] { return false; }).has_value(); });
    while (memory->counted() != 90 * MiB)
        std::this_thread::yield();
    memory->detach();
    judging.join();
    EXPECT_TRUE(granted);
}

} // namespace
