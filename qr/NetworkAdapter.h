#pragma once

// Which of the PC's addresses the connection panel offers the phone, and in
// which order. Loopback and link-local (169.254.x.x, an adapter without a
// DHCP answer) lead the phone nowhere and are left out. The host-only
// adapters that container and virtual-machine software adds usually lead
// nowhere either, but a virtual switch may also be the PC's only way to the
// LAN (a Hyper-V external switch puts the LAN address on "vEthernet (…)"), so
// they are listed, only ranked low. The panel's QR code shows the last
// address of the list: the best address comes last.

#include <string>
#include <string_view>
#include <vector>

namespace velmora::qr {

// One network adapter as the platform reports it.
struct NetworkAdapter {
    std::string name;         // the system's name: "eth0", "docker0", "ethernet_32777"
    std::string description;  // the name shown to people: "vEthernet (WSL)"
    bool up = false;
    bool running = false;
    bool loopback = false;
    bool virtualKind = false; // the platform itself calls it virtual
    bool defaultRoute = false; // carries the PC's default route
    std::vector<std::string> ipv4; // dotted quads, in the platform's order
};

// True for an adapter of container or virtual-machine software, known by its
// name's start (docker0, br-…, veth…, virbr0, vboxnet0, vmnet8, lxcbr0, …),
// a description naming such software (VirtualBox, VMware, Hyper-V,
// vEthernet, WSL, Docker, Parallels; any letter case), or the platform's own
// "virtual" kind.
bool isVirtualAdapter(const NetworkAdapter& adapter);

// True for a dotted-quad IPv4 address a phone can be sent to: four decimal
// parts of 0..255, not 0.x.x.x, not loopback 127.x.x.x, not link-local
// 169.254.x.x, not multicast or reserved (224.0.0.0 and above). Anything
// that is not a dotted quad gives false.
bool isReachableIpv4(std::string_view address);

// The reachable addresses of the adapters that are up and running and not
// loopback, worst first and best last: those of virtual adapters, then those
// of physical ones, then those of the adapter with the default route. Within
// one rank they keep the adapters' order and each adapter's order; an
// address reported twice is listed once, at its best rank.
std::vector<std::string> lanAddressesOf(const std::vector<NetworkAdapter>& adapters);

} // namespace velmora::qr
