#include "platform/DefaultRoute.h"

#include <fstream>
#include <iterator>
#include <string>

#include <net/if.h>

namespace velmora::platform {

std::optional<int> defaultRouteInterface()
{
    std::ifstream file("/proc/net/route");
    const std::string table{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    const std::string name(defaultRouteInRouteTable(table));
    const unsigned index = name.empty() ? 0 : if_nametoindex(name.c_str());
    if (index == 0)
        return std::nullopt;
    return static_cast<int>(index);
}

} // namespace velmora::platform
