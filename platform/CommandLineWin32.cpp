#include "platform/CommandLine.h"

#include "platform/Files.h"

#include <windows.h>
#include <shellapi.h>

#include <filesystem>

namespace velmora::platform {

std::vector<std::string> commandLineArguments(int, char**)
{
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide)
        return arguments;
    for (int i = 1; i < count; ++i)
        arguments.push_back(utf8FromPath(std::filesystem::path(wide[i])));
    LocalFree(wide);
    return arguments;
}

void useUtf8Console()
{
    SetConsoleOutputCP(CP_UTF8);
}

} // namespace velmora::platform
