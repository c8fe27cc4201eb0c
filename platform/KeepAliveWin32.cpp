#include "platform/KeepAlive.h"

#include <winsock2.h>
#include <mstcpip.h>

namespace velmora::platform {

// Windows takes the idle time and the interval in one call; the number of
// probes is the system's own (ten).
bool setKeepAlive(std::intptr_t descriptor, const KeepAliveTimings& timings)
{
    tcp_keepalive values{};
    values.onoff = 1;
    values.keepalivetime = static_cast<ULONG>(timings.idleSeconds) * 1000;
    values.keepaliveinterval = static_cast<ULONG>(timings.intervalSeconds) * 1000;
    DWORD returned = 0;
    return WSAIoctl(static_cast<SOCKET>(descriptor), SIO_KEEPALIVE_VALS, &values, sizeof values, nullptr, 0,
                    &returned, nullptr, nullptr) == 0;
}

} // namespace velmora::platform
