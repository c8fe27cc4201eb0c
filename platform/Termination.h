#pragma once

class QWidget;

namespace velmora::platform {

// From this call on, a request of the session to end the program (SIGTERM,
// SIGINT or SIGHUP on POSIX systems) is caught and held until a window is
// given below. Call it before the window starts listening, so that a request
// arriving during start-up is not fatal.
void catchTermination();

// Closes `window` the ordinary way when the session asks the program to end,
// also for a request caught before this call, so the run ends with exit code
// 0 exactly as when the user closes the window.
void closeOnTermination(QWidget* window);

} // namespace velmora::platform
