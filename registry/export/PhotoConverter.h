#pragma once

// A phone photo into a file for the student-registry upload, with Qt's image
// reader and writer (the Windows build has no JPEG library besides Qt's):
// checked and framed by the student's head (registry/face), then decoded at
// the smallest scale JPEG allows that still leaves enough pixels, only the
// frame, turned upright by its orientation tag, scaled down with Lanczos-3
// and written as a baseline JPEG that states the preset's resolution and
// carries nothing else. A photo that already is such a file, framed as the
// rule would frame it, is left as it is.

#include "registry/export/ExportPreset.h"
#include "registry/export/ExportRunner.h"

#include <string_view>

namespace velmora::registry {

// Safe to call on several threads at once. A photo that fails a face check
// gives Reshoot, or with `keepFlagged` its file all the same: framed where a
// face gave a frame, cut as cropForPreset cuts it where not.
Conversion convertPhoto(std::string_view photo, const ExportPreset& preset, bool keepFlagged = false);

} // namespace velmora::registry
