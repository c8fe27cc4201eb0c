#include "roster/FileReplace.h"

#include "platform/Files.h"

#include <system_error>

namespace velmora::roster {

bool replaceFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    const auto target = platform::pathFromUtf8(path);
    std::error_code error;
    if (path.empty() || std::filesystem::is_directory(target, error))
        return false;
    return platform::replaceFile(
        target, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

} // namespace velmora::roster
