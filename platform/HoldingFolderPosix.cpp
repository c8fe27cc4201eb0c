#include "platform/HoldingFolder.h"

#include "platform/Files.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace velmora::platform {
namespace {

// The XDG base directory rules: a relative value is to be ignored.
std::filesystem::path dataHome()
{
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && data[0] == '/')
        return data;
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/') {
        const passwd* user = ::getpwuid(::getuid());
        home = user ? user->pw_dir : nullptr;
    }
    if (!home || home[0] != '/')
        return {};
    return std::filesystem::path(home) / ".local" / "share";
}

} // namespace

std::filesystem::path holdingFolder()
{
    const std::filesystem::path data = dataHome();
    return data.empty() ? data : data / "Velmora-PC" / pathFromUtf8("未保存照片");
}

} // namespace velmora::platform
