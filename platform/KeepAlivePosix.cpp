#include "platform/KeepAlive.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace velmora::platform {

bool setKeepAlive(std::intptr_t descriptor, const KeepAliveTimings& timings)
{
    const int socket = static_cast<int>(descriptor);
    const int on = 1;
    return setsockopt(socket, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) == 0
        && setsockopt(socket, IPPROTO_TCP, TCP_KEEPIDLE, &timings.idleSeconds, sizeof timings.idleSeconds) == 0
        && setsockopt(socket, IPPROTO_TCP, TCP_KEEPINTVL, &timings.intervalSeconds,
                      sizeof timings.intervalSeconds) == 0
        && setsockopt(socket, IPPROTO_TCP, TCP_KEEPCNT, &timings.probes, sizeof timings.probes) == 0;
}

} // namespace velmora::platform
