#include "platform/Profile.h"

#include "platform/Files.h"

#include <windows.h>

namespace velmora::platform {
namespace {

// No value can hold a line break, so this default marks a missing item.
constexpr char MISSING[] = "\n";

} // namespace

std::optional<std::string> readProfileString(const std::filesystem::path& file,
                                             std::string_view section, std::string_view key)
{
    const std::string name = nameForCLibrary(file);
    if (name.empty())
        return std::nullopt;
    const std::string sectionText(section);
    const std::string keyText(key);
    std::string buffer(512, '\0');
    for (;;) {
        const DWORD length = GetPrivateProfileStringA(
            sectionText.c_str(), keyText.c_str(), MISSING, buffer.data(),
            static_cast<DWORD>(buffer.size()), name.c_str());
        // A value that filled the buffer may have been cut: ask again.
        if (length + 1 < buffer.size() || buffer.size() >= 1024 * 1024) {
            buffer.resize(length);
            break;
        }
        buffer.assign(buffer.size() * 2, '\0');
    }
    if (buffer == MISSING)
        return std::nullopt;
    return buffer;
}

bool writeProfileString(const std::filesystem::path& file, std::string_view section,
                        std::string_view key, std::string_view value)
{
    // A file not made yet has no short name: then its folder's name is used.
    std::string name = nameForCLibrary(file);
    if (name.empty()) {
        const std::string folder = nameForCLibrary(file.parent_path());
        const std::string leaf = nameForCLibrary(file.filename());
        if (folder.empty() || leaf.empty())
            return false;
        name = folder + "\\" + leaf;
    }
    return WritePrivateProfileStringA(std::string(section).c_str(), std::string(key).c_str(),
                                      std::string(value).c_str(), name.c_str())
        != FALSE;
}

} // namespace velmora::platform
