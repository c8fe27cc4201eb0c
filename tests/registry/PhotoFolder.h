#pragma once

// A receive folder of a test: files made under a fresh temporary folder by
// their UTF-8 names ("/" between levels), removed again at the end.

#include "platform/Files.h"
#include "tests/support/TempTree.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

namespace velmora::test {

// `path` as UTF-8 with "/" between its levels.
inline std::string genericUtf8(const std::filesystem::path& path)
{
    const std::u8string text = path.generic_u8string();
    return std::string(text.begin(), text.end());
}

// On the test tree's temporary folder: the files as the receive folder
// holds them, by their UTF-8 names.
class PhotoFolder : public TempTree {
public:
    // Makes `relative` with `bytes`; `ageSeconds` back-dates it.
    std::filesystem::path add(const std::string& relative, const std::string& bytes = "photo", int ageSeconds = 0)
    {
        const auto path = root() / platform::pathFromUtf8(relative);
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
        std::filesystem::last_write_time(
            path, std::filesystem::file_time_type::clock::now() - std::chrono::seconds(ageSeconds));
        return path;
    }
};

} // namespace velmora::test
