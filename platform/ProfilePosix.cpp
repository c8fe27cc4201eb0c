#include "platform/Profile.h"

#include "platform/Files.h"
#include "platform/IniFile.h"

#include <fstream>
#include <sstream>
#include <system_error>

namespace velmora::platform {
namespace {

// A settings file is a few lines; anything far larger is not ours to parse.
constexpr std::uintmax_t MAX_FILE_SIZE = 1024 * 1024;

// The file's bytes; nullopt when it exists but cannot be read whole.
std::optional<std::string> readFile(const std::filesystem::path& file)
{
    std::error_code error;
    if (!std::filesystem::exists(file, error) && !error)
        return std::string();
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (error || size > MAX_FILE_SIZE)
        return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (!in.good() && !in.eof())
        return std::nullopt;
    return bytes.str();
}

} // namespace

std::optional<std::string> readProfileString(const std::filesystem::path& file,
                                             std::string_view section, std::string_view key)
{
    const auto bytes = readFile(file);
    if (!bytes)
        return std::nullopt;
    return iniRead(*bytes, section, key);
}

bool writeProfileString(const std::filesystem::path& file, std::string_view section,
                        std::string_view key, std::string_view value)
{
    // A file that exists but cannot be read is left alone: rewriting it
    // blind would lose what else it holds. The file is replaced whole, so a
    // failed write leaves the old one intact.
    const auto bytes = readFile(file);
    return bytes && replaceFile(file, iniWrite(*bytes, section, key, value));
}

} // namespace velmora::platform
