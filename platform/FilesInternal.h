#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>

namespace velmora::platform {

// A fresh name in the target's directory for the file that replaces it.
std::filesystem::path temporarySibling(const std::filesystem::path& target);

// Temporary files of ours older than this are left from a run that ended in
// the middle of a write.
constexpr std::chrono::minutes STALE_TEMPORARY_AGE{10};

// Removes `folder`'s temporary files left by earlier runs (see
// STALE_TEMPORARY_AGE); looks at each folder at most once in that time.
void removeStaleTemporaries(const std::filesystem::path& folder);

// A rename refused because another program holds the file it replaces (a
// picture viewer, a virus scanner) is tried again for this long.
constexpr std::chrono::milliseconds HELD_FILE_PATIENCE{5000};
constexpr std::chrono::milliseconds HELD_FILE_RETRY{100};

// Called by each side's replaceFile after writing `bytes`: waits as long as
// a disk at the rate set with setWriteRateLimit would take.
void throttleWrite(std::size_t bytes);

} // namespace velmora::platform
