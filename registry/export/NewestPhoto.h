#pragma once

// Which of a student's photos goes to the upload: the one taken last, as a
// re-shoot replaces an earlier photo.

#include "registry/export/ExportJob.h"

#include <filesystem>
#include <string>
#include <vector>

namespace velmora::registry {

// A job for the newest of `photos` by modification time, the others listed
// as passed over in their given order. Among photos of the same time the
// first listed is used; a photo whose time cannot be read counts as oldest.
// `photos` must not be empty.
ExportJob newestPhotoJob(const std::vector<std::filesystem::path>& photos, std::filesystem::path target,
                         std::string student);

} // namespace velmora::registry
