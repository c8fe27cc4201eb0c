#include "platform/CommandLine.h"

namespace velmora::platform {

std::vector<std::string> commandLineArguments(int argc, char** argv)
{
    return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
}

void useUtf8Console() {}

} // namespace velmora::platform
