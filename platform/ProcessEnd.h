#pragma once

// Ends the running program at once, for the one case where an ordinary end
// would wait for ever: a thread still inside a write to a disk that no longer
// answers (a school's share whose cable was pulled). Nothing more runs, not
// even the clean-up of static objects; open files are closed by the system.

namespace velmora::platform {

[[noreturn]] void endProcessNow(int exitCode);

} // namespace velmora::platform
