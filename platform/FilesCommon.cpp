#include "platform/Files.h"

#include "platform/FilesInternal.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <random>
#include <thread>

namespace velmora::platform {

std::filesystem::path pathFromUtf8(std::string_view utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string utf8FromPath(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// A name for the new file beside the target; the caller creates it
// exclusively and tries again on a clash.
std::filesystem::path temporarySibling(const std::filesystem::path& target)
{
    static thread_local std::mt19937_64 random{std::random_device{}()};
    static const char* const HEX = "0123456789abcdef";
    std::uint64_t value = random();
    std::string name = ".velmora-";
    for (int i = 0; i < 16; ++i, value >>= 4)
        name.push_back(HEX[value & 0xF]);
    return target.parent_path() / (name + ".tmp");
}

namespace {

std::atomic<std::uint64_t> writeRate{0};
std::mutex diskMutex;
std::chrono::steady_clock::time_point diskFreeAt;

} // namespace

void setWriteRateLimit(std::uint64_t bytesPerSecond)
{
    writeRate = bytesPerSecond;
}

// One disk for all writers: each write waits for the ones before it.
void throttleWrite(std::size_t bytes)
{
    const std::uint64_t rate = writeRate;
    if (rate == 0)
        return;
    std::chrono::steady_clock::time_point until;
    {
        std::lock_guard lock(diskMutex);
        const auto now = std::chrono::steady_clock::now();
        until = std::max(now, diskFreeAt)
            + std::chrono::microseconds(static_cast<std::int64_t>(bytes * 1'000'000 / rate));
        diskFreeAt = until;
    }
    std::this_thread::sleep_until(until);
}

} // namespace velmora::platform
