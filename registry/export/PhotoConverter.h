#pragma once

// A phone photo into a file for the student-registry upload, with Qt's image
// reader and writer (the Windows build has no JPEG library besides Qt's):
// decoded at the smallest scale JPEG allows that still leaves enough pixels,
// only the kept part, turned upright by its orientation tag, scaled down
// with Lanczos-3 and written as a baseline JPEG that states the
// preset's resolution and carries nothing else.

#include "registry/export/ExportPreset.h"
#include "registry/export/ExportRunner.h"

#include <string_view>

namespace velmora::registry {

// Safe to call on several threads at once.
Conversion convertPhoto(std::string_view photo, const ExportPreset& preset);

} // namespace velmora::registry
