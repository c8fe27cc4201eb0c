#include "platform/DefaultRoute.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

namespace velmora::platform {
namespace {

std::vector<std::string_view> fieldsOf(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t pos = 0;
    while (pos < line.size()) {
        const std::size_t start = line.find_first_not_of(" \t", pos);
        if (start == std::string_view::npos)
            break;
        const std::size_t end = std::min(line.find_first_of(" \t", start), line.size());
        fields.push_back(line.substr(start, end - start));
        pos = end;
    }
    return fields;
}

std::optional<std::uint32_t> numberOf(std::string_view text, int base)
{
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace

std::string_view defaultRouteInRouteTable(std::string_view table)
{
    // Columns: Iface Destination Gateway Flags RefCnt Use Metric Mask ...
    // (hexadecimal destination and mask; flag 0x1 = the route is up).
    constexpr std::uint32_t ROUTE_UP = 0x1;
    std::string_view best;
    std::uint32_t bestMetric = std::numeric_limits<std::uint32_t>::max();
    bool header = true;
    while (!table.empty()) {
        const std::size_t end = std::min(table.find('\n'), table.size());
        const std::vector<std::string_view> fields = fieldsOf(table.substr(0, end));
        table.remove_prefix(std::min(end + 1, table.size()));
        if (std::exchange(header, false) || fields.size() < 8)
            continue;
        const auto destination = numberOf(fields[1], 16);
        const auto flags = numberOf(fields[3], 16);
        const auto metric = numberOf(fields[6], 10);
        const auto mask = numberOf(fields[7], 16);
        if (destination == 0u && mask == 0u && flags && (*flags & ROUTE_UP) && metric
            && (best.empty() || *metric < bestMetric)) {
            best = fields[0];
            bestMetric = *metric;
        }
    }
    return best;
}

} // namespace velmora::platform
