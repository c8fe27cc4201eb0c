#pragma once

// TCP keep-alive with short timings for the phones' connections. A phone that
// walks out of Wi-Fi reach, or whose battery dies, sends neither FIN nor RST,
// and the PC never writes on the photo connection: without probes such a
// connection would stay open, holding its half photo, until the program ends.

#include <cstdint>

namespace velmora::platform {

struct KeepAliveTimings {
    int idleSeconds = 10;     // silence before the first probe
    int intervalSeconds = 5;  // between two probes
    int probes = 4;           // unanswered probes that end the connection (where the system lets it be set)
};

// Turns keep-alive on for the connected socket `descriptor` with `timings`;
// false when the system refused.
bool setKeepAlive(std::intptr_t descriptor, const KeepAliveTimings& timings = {});

} // namespace velmora::platform
