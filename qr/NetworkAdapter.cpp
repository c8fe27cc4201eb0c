#include "qr/NetworkAdapter.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

namespace velmora::qr {
namespace {

// Linux interface names that container and VM software gives its bridges
// and tunnels.
constexpr std::array<std::string_view, 14> VIRTUAL_NAME_STARTS = {
    "docker", "br-", "veth", "virbr", "vboxnet", "vmnet", "lxcbr", "lxdbr",
    "cni", "flannel", "cali", "podman", "kube-", "vnet"};

// Words in the adapter descriptions Windows and macOS show.
constexpr std::array<std::string_view, 7> VIRTUAL_DESCRIPTION_WORDS = {
    "virtualbox", "vmware", "hyper-v", "vethernet", "wsl", "docker", "parallels"};

std::string lowered(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

} // namespace

bool isVirtualAdapter(const NetworkAdapter& adapter)
{
    if (adapter.virtualKind)
        return true;
    const bool namedVirtual = std::any_of(VIRTUAL_NAME_STARTS.begin(), VIRTUAL_NAME_STARTS.end(),
                                          [&](std::string_view start) {
                                              return adapter.name.starts_with(start);
                                          });
    if (namedVirtual)
        return true;
    const std::string description = lowered(adapter.description);
    return std::any_of(VIRTUAL_DESCRIPTION_WORDS.begin(), VIRTUAL_DESCRIPTION_WORDS.end(),
                       [&](std::string_view word) {
                           return description.find(word) != std::string::npos;
                       });
}

bool isReachableIpv4(std::string_view address)
{
    std::array<int, 4> parts{};
    std::size_t pos = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            if (pos >= address.size() || address[pos] != '.')
                return false;
            ++pos;
        }
        const std::size_t start = pos;
        int value = 0;
        while (pos < address.size() && pos - start < 3 && address[pos] >= '0' && address[pos] <= '9')
            value = value * 10 + (address[pos++] - '0');
        if (pos == start || value > 255)
            return false;
        parts[i] = value;
    }
    if (pos != address.size())
        return false;
    return parts[0] != 0 && parts[0] != 127 && parts[0] < 224
        && !(parts[0] == 169 && parts[1] == 254);
}

std::vector<std::string> lanAddressesOf(const std::vector<NetworkAdapter>& adapters)
{
    // Lower is better.
    enum Rank { DEFAULT_ROUTE, PHYSICAL, VIRTUAL };
    struct Entry {
        Rank rank;
        std::string address;
    };
    std::vector<Entry> entries;
    for (const NetworkAdapter& adapter : adapters) {
        if (!adapter.up || !adapter.running || adapter.loopback)
            continue;
        const Rank rank = adapter.defaultRoute ? DEFAULT_ROUTE
            : isVirtualAdapter(adapter)        ? VIRTUAL
                                               : PHYSICAL;
        for (const std::string& address : adapter.ipv4) {
            if (!isReachableIpv4(address))
                continue;
            const auto known = std::find_if(entries.begin(), entries.end(),
                                            [&](const Entry& e) { return e.address == address; });
            if (known == entries.end())
                entries.push_back({rank, address});
            else if (rank < known->rank)
                known->rank = rank;
        }
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.rank > b.rank; });
    std::vector<std::string> addresses;
    addresses.reserve(entries.size());
    for (Entry& entry : entries)
        addresses.push_back(std::move(entry.address));
    return addresses;
}

} // namespace velmora::qr
