#pragma once

// A receive folder of a test: files made under a fresh temporary folder by
// their UTF-8 names ("/" between levels), removed again at the end.

#include "platform/Files.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace velmora::test {

// `path` as UTF-8 with "/" between its levels.
inline std::string genericUtf8(const std::filesystem::path& path)
{
    const std::u8string text = path.generic_u8string();
    return std::string(text.begin(), text.end());
}

class PhotoFolder {
public:
    PhotoFolder()
    {
        std::random_device random;
        m_root = std::filesystem::temp_directory_path()
            / ("velmora-registry-test-" + std::to_string(random()) + std::to_string(random()));
        std::filesystem::create_directories(m_root);
    }
    ~PhotoFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }
    PhotoFolder(const PhotoFolder&) = delete;
    PhotoFolder& operator=(const PhotoFolder&) = delete;

    // Makes `relative` with `bytes`; `ageSeconds` back-dates it.
    std::filesystem::path add(const std::string& relative, const std::string& bytes = "photo", int ageSeconds = 0)
    {
        const auto path = m_root / platform::pathFromUtf8(relative);
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
        std::filesystem::last_write_time(
            path, std::filesystem::file_time_type::clock::now() - std::chrono::seconds(ageSeconds));
        return path;
    }
    const std::filesystem::path& root() const { return m_root; }

private:
    std::filesystem::path m_root;
};

} // namespace velmora::test
