#include "platform/DefaultRoute.h"

#include <limits>
#include <vector>

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

namespace velmora::platform {

std::optional<int> defaultRouteInterface()
{
    ULONG size = 0;
    if (GetIpForwardTable(nullptr, &size, FALSE) != ERROR_INSUFFICIENT_BUFFER || size == 0)
        return std::nullopt;
    std::vector<unsigned char> buffer(size);
    auto* table = reinterpret_cast<MIB_IPFORWARDTABLE*>(buffer.data());
    if (GetIpForwardTable(table, &size, FALSE) != NO_ERROR)
        return std::nullopt;
    std::optional<int> best;
    DWORD bestMetric = std::numeric_limits<DWORD>::max();
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        const MIB_IPFORWARDROW& row = table->table[i];
        // The metric here already holds the interface's own metric, the sum
        // Windows itself picks routes by.
        if (row.dwForwardDest == 0 && row.dwForwardMask == 0
            && (!best || row.dwForwardMetric1 < bestMetric)) {
            best = static_cast<int>(row.dwForwardIfIndex);
            bestMetric = row.dwForwardMetric1;
        }
    }
    return best;
}

} // namespace velmora::platform
