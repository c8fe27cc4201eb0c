#pragma once

// Test support: runs a program of the machine the tests run on, such as the
// system's Python or the native QR decoder. A test built for Windows and run
// under Wine reaches the Linux host through these, so both builds check their
// output with the same independent tools.

#include <filesystem>
#include <string>
#include <vector>

namespace velmora::test {

// Runs `program` (a host path such as "/usr/bin/python3") with `arguments`,
// waits for it and returns its exit code, or -1 when it could not start.
int runHostProgram(const std::string& program, const std::vector<std::string>& arguments);

// `path` as the host program sees it: the same text on POSIX systems, the
// Linux path of a Wine file name on Windows.
std::string hostPath(const std::filesystem::path& path);

} // namespace velmora::test
