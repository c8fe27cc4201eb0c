#include "platform/Termination.h"

namespace velmora::platform {

// A Windows GUI program is asked to end through its window (WM_CLOSE, and
// WM_QUERYENDSESSION at log-off), which Qt turns into an ordinary close; no
// console signal reaches it. Nothing to catch here.
void catchTermination() {}

void closeOnTermination(QWidget*) {}

} // namespace velmora::platform
