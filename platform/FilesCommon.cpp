#include "platform/Files.h"

#include "platform/FilesInternal.h"

#include <cstdint>
#include <random>

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

} // namespace velmora::platform
