#include "platform/Files.h"

#include "platform/FilesInternal.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
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

namespace {

constexpr std::string_view TEMPORARY_PREFIX = ".velmora-";
constexpr std::string_view TEMPORARY_SUFFIX = ".tmp";
constexpr std::size_t TEMPORARY_DIGITS = 16;

// Exactly the names temporarySibling gives: no other file is ever touched.
bool isTemporaryName(const std::string& name)
{
    if (name.size() != TEMPORARY_PREFIX.size() + TEMPORARY_DIGITS + TEMPORARY_SUFFIX.size()
        || !name.starts_with(TEMPORARY_PREFIX) || !name.ends_with(TEMPORARY_SUFFIX))
        return false;
    const std::string_view digits = std::string_view(name).substr(TEMPORARY_PREFIX.size(), TEMPORARY_DIGITS);
    return std::all_of(digits.begin(), digits.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

std::mutex sweepMutex;
std::map<std::filesystem::path, std::chrono::steady_clock::time_point> lastSweeps;

// Whether `folder` is due for a sweep; at most one per STALE_TEMPORARY_AGE,
// so that a burst of photos does not list a large folder once per photo.
bool sweepDue(const std::filesystem::path& folder)
{
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(sweepMutex);
    const auto found = lastSweeps.find(folder);
    if (found != lastSweeps.end() && now - found->second < STALE_TEMPORARY_AGE)
        return false;
    lastSweeps[folder] = now;
    return true;
}

} // namespace

// A name for the new file beside the target; the caller creates it
// exclusively and tries again on a clash.
std::filesystem::path temporarySibling(const std::filesystem::path& target)
{
    static thread_local std::mt19937_64 random{std::random_device{}()};
    static const char* const HEX = "0123456789abcdef";
    std::uint64_t value = random();
    std::string name(TEMPORARY_PREFIX);
    for (std::size_t i = 0; i < TEMPORARY_DIGITS; ++i, value >>= 4)
        name.push_back(HEX[value & 0xF]);
    return target.parent_path() / (name + std::string(TEMPORARY_SUFFIX));
}

// A run that was killed in the middle of a write (or whose write never came
// back from a dead share) leaves its temporary file behind, and a leading dot
// hides nothing on Windows. Only regular files under exactly our temporary
// names that nobody has written to for STALE_TEMPORARY_AGE go: a second copy
// of the program storing into the same folder writes its file within
// seconds, and on Windows a file still open cannot be removed anyway.
void removeStaleTemporaries(const std::filesystem::path& folder)
{
    if (!sweepDue(folder))
        return;
    std::error_code error;
    const auto oldest = std::filesystem::file_time_type::clock::now() - STALE_TEMPORARY_AGE;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code ignored;
        if (!isTemporaryName(utf8FromPath(it->path().filename())) || !it->is_regular_file(ignored))
            continue;
        const auto written = std::filesystem::last_write_time(it->path(), ignored);
        if (!ignored && written < oldest)
            std::filesystem::remove(it->path(), ignored);
    }
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
