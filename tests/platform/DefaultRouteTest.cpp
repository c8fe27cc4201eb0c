// Which adapter carries the default route, read from a Linux routing table.

#include "platform/DefaultRoute.h"

#include <gtest/gtest.h>

namespace velmora::platform {
namespace {

constexpr char HEADER[] =
    "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";

// Guards against a subnet route, a route that is down or a worse metric
// being taken for the way to the LAN's router.
TEST(DefaultRoute, RouteTable)
{
    struct Row { const char* what; std::string table; std::string_view expected; };
    const Row rows[] = {
        {"one default route",
         std::string(HEADER) + "eth0\t00000000\t0101A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
             + "eth0\t0001A8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n",
         "eth0"},
        {"lowest metric wins",
         std::string(HEADER) + "wlan0\t00000000\t0101A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n"
             + "eth0\t00000000\t0100000A\t0003\t0\t0\t100\t00000000\t0\t0\t0\n",
         "eth0"},
        {"only subnet routes",
         std::string(HEADER) + "docker0\t000011AC\t00000000\t0001\t0\t0\t0\t0000FFFF\t0\t0\t0\n", ""},
        {"default route down",
         std::string(HEADER) + "eth0\t00000000\t0101A8C0\t0002\t0\t0\t100\t00000000\t0\t0\t0\n", ""},
        {"header only", HEADER, ""},
        {"empty", "", ""}};
    for (const Row& row : rows)
        EXPECT_EQ(defaultRouteInRouteTable(row.table), row.expected) << row.what;
}

} // namespace
} // namespace velmora::platform
