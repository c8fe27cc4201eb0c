#pragma once

// Where photos wait that the receive folder could not take (a USB stick
// pulled, a school's share dropped, a disk full): a folder in the user's own
// profile, on the PC's own disk, which nothing taken away with the receive
// folder takes with it.

#include <filesystem>

namespace velmora::platform {

// The holding folder: on Windows %LOCALAPPDATA%\Velmora-PC\未保存照片 (the
// environment's LOCALAPPDATA, else the shell's local application data
// folder); elsewhere Velmora-PC/未保存照片 under $XDG_DATA_HOME when that is
// an absolute path, else under ~/.local/share. Whether it exists is not
// looked at. Empty when the user has no profile folder at all.
std::filesystem::path holdingFolder();

} // namespace velmora::platform
