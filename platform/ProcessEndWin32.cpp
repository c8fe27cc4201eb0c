#include "platform/ProcessEnd.h"

#include <windows.h>

namespace velmora::platform {

// TerminateProcess rather than ExitProcess: the latter first runs every
// library's detach code, which may wait for the very thread that is stuck.
void endProcessNow(int exitCode)
{
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(exitCode));
    ExitProcess(static_cast<UINT>(exitCode)); // not reached
}

} // namespace velmora::platform
