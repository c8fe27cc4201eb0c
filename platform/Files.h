#pragma once

// File names and whole-file writes. On Windows every name goes to the
// wide-character functions, so a folder or photo name that code page 936 can
// hold is stored under its own characters whatever the PC's ANSI code page.
// A file that already exists is only ever replaced whole.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace velmora::platform {

// A UTF-8 file name as a path of the file system, and back.
std::filesystem::path pathFromUtf8(std::string_view utf8);
std::string utf8FromPath(const std::filesystem::path& path);

// The directory that holds the running program's executable.
std::filesystem::path executableDirectory();

// The name to hand a C library that opens files with fopen(): the UTF-8 text
// on POSIX systems; on Windows the ANSI code page's bytes, or the short
// (8.3) name where the code page cannot hold the name. Empty when there is
// no such name.
std::string nameForCLibrary(const std::filesystem::path& path);

// Puts `bytes` into `target`, replacing it whole or not at all: the bytes go
// to a new file beside it, which is written, flushed to the medium, closed
// and then renamed over `target`, the rename itself flushed too (true means
// the file is on the medium, not only in the system's cache). A rename that
// another program holding `target` open refuses is tried again for a few
// seconds. On failure the new file is removed, `target` is as it was, and
// `reason` (when given) says what failed. A target without a file name (a
// folder's path ending in a separator, the empty path) is refused. Such new
// files left in the folder by an earlier run that ended mid-write, untouched
// for ten minutes, are removed on the way.
bool replaceFile(const std::filesystem::path& target, std::string_view bytes,
                 std::string* reason = nullptr);

// Plays a slow disk for the benchmarks and tests that need one (a USB 2.0
// stick, an SD card, a school's network share): from now on the bytes of
// replaceFile go no faster than `bytesPerSecond` in all, 0 for full speed.
// The program itself never calls it.
void setWriteRateLimit(std::uint64_t bytesPerSecond);

// Removes the file `path`, the removal flushed to the medium as replaceFile's
// rename is: a held photo once written into the receive folder must not come
// back after a power cut and replace a newer photo of its name. True when the
// file is gone, also when there was none; on failure `reason` (when given)
// says why.
bool removeFile(const std::filesystem::path& path, std::string* reason = nullptr);

enum class NewFile { Created, AlreadyThere, Failed };

// Creates `path` as an empty file unless something exists there already,
// in one step, so that a file appearing meanwhile is never truncated.
NewFile createEmptyFile(const std::filesystem::path& path);

} // namespace velmora::platform
