#pragma once

// A temporary directory for tests that touch files, removed at the end, and a
// snapshot of everything under it (paths, kinds and contents) to show that a
// refused write touched nothing.

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>

namespace velmora::test {

class TempTree {
public:
    TempTree()
    {
        std::random_device random;
        m_root = std::filesystem::temp_directory_path()
            / ("velmora-test-" + std::to_string(random()) + std::to_string(random()));
        std::filesystem::create_directories(m_root);
    }
    ~TempTree()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::filesystem::path& root() const { return m_root; }

    // Every entry under the root: "dir" for directories, else the contents.
    std::map<std::string, std::string> snapshot() const
    {
        std::map<std::string, std::string> entries;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(m_root)) {
            const std::string key = entry.path().lexically_relative(m_root).generic_string();
            entries[key] = entry.is_directory() ? std::string("dir") : read(entry.path());
        }
        return entries;
    }

    static std::string read(const std::filesystem::path& file)
    {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }

    static void write(const std::filesystem::path& file, const std::string& bytes)
    {
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << bytes;
    }

private:
    std::filesystem::path m_root;
};

} // namespace velmora::test
