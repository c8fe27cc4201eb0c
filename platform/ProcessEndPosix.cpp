#include "platform/ProcessEnd.h"

#include <unistd.h>

namespace velmora::platform {

void endProcessNow(int exitCode)
{
    ::_exit(exitCode);
}

} // namespace velmora::platform
