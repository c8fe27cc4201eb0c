#pragma once

// Which network adapter carries the PC's default route: on a school PC, the
// one that leads to the router the phones share, even when it is a virtual
// switch's adapter (a Hyper-V external switch puts the LAN address on
// "vEthernet (…)"). Windows asks its routing table; elsewhere the kernel's
// IPv4 routing table.

#include <optional>
#include <string_view>

namespace velmora::platform {

// The interface index (as the platform's adapter list reports it) of the
// IPv4 default route with the lowest metric, or nullopt when there is none.
std::optional<int> defaultRouteInterface();

// The interface name of the default route with the lowest metric in a Linux
// routing table as /proc/net/route shows it, or an empty view. Only used by
// the POSIX side; here so it can be tested on every platform.
std::string_view defaultRouteInRouteTable(std::string_view table);

} // namespace velmora::platform
