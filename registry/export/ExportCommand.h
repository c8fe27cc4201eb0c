#pragma once

// The body of `velmora-photos export ROSTER FOLDER OUT [--size WxH]
// [--max-kb N] [--min-kb N]` once the roster and photos are paired.

#include "registry/export/ExportJob.h"

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace velmora::registry {

// Exports `jobs` into `outputFolder` with the registry preset changed by
// `options` (--size 358x441, --max-kb 60, --min-kb 0). Prints one line per
// photo left out (student, photo, reason; TAB-separated, UTF-8) and then
// the counts line to `out`; problems with the command line or the output
// folder go to `err`. An output folder that already holds files is used
// (files of the same name are replaced whole) with a note on `err`, as a
// script cannot answer a question. Returns 0 when every photo was written
// or copied, 1 when any was left out, 2 for bad options or an output folder
// that is the receive folder, lies inside it, or cannot be made.
int runExport(const std::vector<ExportJob>& jobs, const std::vector<std::string>& options,
              const std::filesystem::path& receiveFolder, const std::filesystem::path& outputFolder,
              std::ostream& out, std::ostream& err);

} // namespace velmora::registry
