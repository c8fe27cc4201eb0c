#pragma once

// What the receive folder holds, as the photo check needs it: every photo
// with its place, and the program's own temporary files that a write cut
// short (the power failing, the program killed) left behind.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace velmora::registry {

struct PhotoFile {
    std::filesystem::path path;        // as found, under the folder
    std::string relative;              // UTF-8, levels joined by "/"
    std::string stem;                  // file name without its extension, UTF-8
    std::string folder;                // the folder holding it, "" for the top, UTF-8
    // Read only for the photos of a student with several: one look at the
    // disk less for every other photo of the folder.
    std::filesystem::file_time_type modified{};
};

struct FolderContents {
    std::vector<PhotoFile> photos;                       // in name order
    std::vector<std::filesystem::path> staleTemporaries;
};

// Whether `fileName` is one of the program's temporary files
// (".velmora-" + 16 hex digits + ".tmp").
bool isProgramTemporary(std::string_view fileName);

// The photos under `folder`, any depth: files ending ".jpg", ".jpeg" or
// ".png" (any case) that hold bytes. An empty file is the phone's name-list
// place holder, not a photo. Links to folders are not followed, folders that
// cannot be read are passed over. Names come back as the photo store wrote
// them (its own characters, UTF-8). Returns nullopt with `reason` set when
// `folder` is no readable folder.
std::optional<FolderContents> readReceiveFolder(const std::filesystem::path& folder, std::string& reason);

} // namespace velmora::registry
