// Which of the PC's addresses the connection panel offers the phone.

#include "qr/NetworkAdapter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora::qr {
namespace {

NetworkAdapter adapter(std::string name, std::string description, std::vector<std::string> ipv4)
{
    NetworkAdapter a;
    a.name = std::move(name);
    a.description = std::move(description);
    a.up = true;
    a.running = true;
    a.ipv4 = std::move(ipv4);
    return a;
}

// Guards against addresses a phone cannot be sent to slipping through, and
// against good LAN addresses being refused (10.x, 172.16.x, 192.168.x and
// public ones all occur on school networks).
TEST(NetworkAdapter, ReachableIpv4)
{
    struct Row { const char* address; bool reachable; };
    const Row rows[] = {
        {"192.168.1.5", true}, {"10.0.0.1", true}, {"172.16.3.4", true}, {"8.8.8.8", true},
        {"169.253.1.1", true}, {"127.8.9.10", false}, {"169.254.10.20", false},
        {"0.0.0.0", false}, {"224.0.0.1", false}, {"192.168.1", false}, {"192.168.1.5.6", false},
        {"192.168.1.256", false}, {"192.168..1", false}, {"", false}, {"fe80::1", false},
        {"192.168.1.5 ", false}};
    for (const Row& row : rows)
        EXPECT_EQ(isReachableIpv4(row.address), row.reachable) << row.address;
}

// Guards against the QR code pointing at a container's or virtual machine's
// host-only adapter, which the phone on the Wi-Fi cannot reach.
TEST(NetworkAdapter, VirtualAdapters)
{
    struct Row { const char* name; const char* description; bool isVirtual; };
    const Row rows[] = {
        {"eth0", "eth0", false}, {"wlan0", "wlan0", false},
        {"ethernet_32769", "Intel(R) Ethernet Connection", false}, {"wireless_32768", "Wi-Fi", false},
        {"docker0", "docker0", true}, {"br-3f2a9c", "br-3f2a9c", true}, {"veth12ab", "veth12ab", true},
        {"virbr0", "virbr0", true}, {"vboxnet0", "vboxnet0", true},
        {"ethernet_32777", "vEthernet (WSL)", true},
        {"ethernet_32779", "VMware Network Adapter VMnet8", true}};
    for (const Row& row : rows)
        EXPECT_EQ(isVirtualAdapter(adapter(row.name, row.description, {})), row.isVirtual) << row.name;

    NetworkAdapter platformSaysVirtual = adapter("eth1", "eth1", {});
    platformSaysVirtual.virtualKind = true;
    EXPECT_TRUE(isVirtualAdapter(platformSaysVirtual));
}

// Guards against a wrong order (the panel's picture shows the last address,
// so the best one must come last), against adapters that are down,
// unplugged or loopback, and duplicates.
TEST(NetworkAdapter, LanAddressesBestLast)
{
    NetworkAdapter loopback = adapter("lo", "lo", {"127.0.0.1"});
    loopback.loopback = true;
    NetworkAdapter down = adapter("eth2", "eth2", {"192.168.9.9"});
    down.up = false;
    NetworkAdapter unplugged = adapter("eth3", "eth3", {"192.168.8.8"});
    unplugged.running = false;
    NetworkAdapter flaggedLoopback = adapter("lo1", "lo1", {"10.9.9.9"});
    flaggedLoopback.loopback = true;

    const std::vector<NetworkAdapter> adapters = {
        loopback,
        adapter("wlan0", "wlan0", {"192.168.1.5", "169.254.3.3"}),
        adapter("docker0", "docker0", {"172.17.0.1"}),
        down, unplugged, flaggedLoopback,
        adapter("eth0", "eth0", {"10.0.0.7", "10.0.0.8", "192.168.1.5"})};
    EXPECT_EQ(lanAddressesOf(adapters),
              (std::vector<std::string>{"172.17.0.1", "192.168.1.5", "10.0.0.7", "10.0.0.8"}));
    EXPECT_TRUE(lanAddressesOf({}).empty());
}

// Guards against the panel showing no address, or the wrong one in its QR
// code, on a PC whose LAN runs through a virtual switch or that has several
// adapters: the adapter with the default route wins, whatever its kind.
TEST(NetworkAdapter, DefaultRouteAdapterLast)
{
    struct Row {
        const char* what;
        std::vector<NetworkAdapter> adapters;
        std::vector<std::string> expected;
    };
    NetworkAdapter hyperV = adapter("ethernet_32777", "vEthernet (External)", {"192.168.1.20"});
    hyperV.defaultRoute = true;
    NetworkAdapter wifi = adapter("wireless_32768", "Wi-Fi", {"10.1.1.9"});
    wifi.defaultRoute = true;
    NetworkAdapter wsl = adapter("ethernet_32779", "vEthernet (WSL)", {"172.20.0.1"});
    NetworkAdapter wslAlsoOnRoute = wsl;
    wslAlsoOnRoute.ipv4 = {"172.20.0.1", "10.1.1.9"};
    const Row rows[] = {
        {"only a virtual switch", {hyperV, wsl}, {"172.20.0.1", "192.168.1.20"}},
        {"virtual switch before a cable-less physical adapter",
         {hyperV, adapter("ethernet_32769", "Intel(R) Ethernet", {"192.168.56.1"})},
         {"192.168.56.1", "192.168.1.20"}},
        {"default route listed first by the platform",
         {wifi, adapter("ethernet_32769", "Ethernet", {"192.168.0.4"}), wsl},
         {"172.20.0.1", "192.168.0.4", "10.1.1.9"}},
        {"an address on two adapters takes the better rank",
         {wslAlsoOnRoute, wifi}, {"172.20.0.1", "10.1.1.9"}}};
    for (const Row& row : rows)
        EXPECT_EQ(lanAddressesOf(row.adapters), row.expected) << row.what;
}

} // namespace
} // namespace velmora::qr
