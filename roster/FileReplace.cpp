#include "roster/FileReplace.h"

#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

namespace velmora::roster {
namespace {

namespace fs = std::filesystem;

fs::path fromUtf8(const std::string& path)
{
    return fs::path(std::u8string(path.begin(), path.end()));
}

// Opens a new file next to `target` that did not exist before ("x": never
// take over someone else's file). Returns null when none could be made.
std::FILE* createSibling(const fs::path& target, fs::path& made)
{
    std::random_device seed;
    std::mt19937 random(seed());
    for (int attempt = 0; attempt < 16; ++attempt) {
        made = target;
        made += ".part" + std::to_string(random() % 1000000);
        if (std::FILE* file = std::fopen(made.string().c_str(), "wbx"))
            return file;
    }
    return nullptr;
}

} // namespace

bool replaceFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    const fs::path target = fromUtf8(path);
    std::error_code error;
    if (path.empty() || fs::is_directory(target, error))
        return false;
    fs::path part;
    std::FILE* file = createSibling(target, part);
    if (!file)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool flushed = std::fflush(file) == 0;
    const bool closed = std::fclose(file) == 0;
    if (written && flushed && closed) {
        fs::rename(part, target, error);
        if (!error)
            return true;
    }
    fs::remove(part, error);
    return false;
}

} // namespace velmora::roster
