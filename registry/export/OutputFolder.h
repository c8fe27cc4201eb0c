#pragma once

// Where exported photos may go. The receive folder holds the only copy of
// every photo of the day, so nothing is ever written into it or below it.

#include <filesystem>
#include <string>

namespace velmora::registry {

enum class OutputFolderCheck {
    Usable,              // empty or not there yet
    HoldsFiles,          // usable once the user has agreed
    IsReceiveFolder,
    InsideReceiveFolder,
    NotAFolder,          // empty path, or a file of that name
};

// Judges `output` against `receiveFolder`. Both are compared as the file
// system sees them (another spelling, letter case on Windows, a link), not
// as text.
OutputFolderCheck checkOutputFolder(const std::filesystem::path& receiveFolder,
                                    const std::filesystem::path& output);

// Why an output folder is refused, as staff read it (UTF-8); empty for
// Usable and HoldsFiles.
std::string outputFolderRefusal(OutputFolderCheck check);

// Where an export goes unless the user says otherwise: a folder beside the
// receive folder, named after it with "_上传" ("D:\照片\" gives
// "D:\照片_上传"), so one photo day's upload stays next to its photos and
// never inside them. Empty for an empty path or a drive or file-system
// root, which has nothing beside it. A trailing separator is ignored.
std::filesystem::path outputFolderBeside(const std::filesystem::path& receiveFolder);

// True when `path` is `folder` or lies below it, as the file system sees it:
// the nearest existing ancestor of `path` decides, and the rest of the path
// is compared by its normal form.
bool isWithinFolder(const std::filesystem::path& path, const std::filesystem::path& folder);

} // namespace velmora::registry
