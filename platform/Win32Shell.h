#pragma once

// The Windows shell as the program uses it: the folder browser and opening a
// folder in Explorer. Texts are GBK, which the shell's A functions take in
// the ANSI code page (936 on the PCs the program is made for). Windows only; the Qt seams in Paths.h call these.

#include <string>

namespace velmora::platform::win32 {

// The shell's folder browser with the new dialog style, no owner window and
// `title`, opening with `initialFolder` selected. Returns the chosen folder's
// path with blanks trimmed, or "" when the user cancels or chooses an item
// that is no folder of the file system.
std::string browseForFolder(const std::string& title, const std::string& initialFolder);

// Asks the shell to open `folder` in a file-manager window.
void openFolder(const std::string& folder);

} // namespace velmora::platform::win32
