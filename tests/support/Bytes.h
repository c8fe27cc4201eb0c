#pragma once

// Byte strings written as numbers, as code tables give them.

#include <initializer_list>
#include <string>

namespace velmora::test {

inline std::string bytes(std::initializer_list<int> values)
{
    std::string out;
    for (int v : values)
        out.push_back(static_cast<char>(v));
    return out;
}

} // namespace velmora::test
