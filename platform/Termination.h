#pragma once

class QWidget;

namespace velmora::platform {

// Closes `window` the ordinary way when the session asks the program to end
// (SIGTERM, SIGINT or SIGHUP on POSIX systems), so the run ends with exit code
// 0 exactly as when the user closes the window.
void closeOnTermination(QWidget* window);

} // namespace velmora::platform
