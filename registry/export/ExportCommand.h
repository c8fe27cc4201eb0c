#pragma once

// The body of `velmora-photos export ROSTER FOLDER OUT [--size WxH]
// [--max-kb N] [--min-kb N] [--keep-flagged]` once the roster and photos are
// paired.

#include "registry/export/ExportJob.h"

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace velmora::registry {

// Exports `jobs` into `outputFolder` with the registry preset changed by
// `options` (--size 358x441, --max-kb 60, --min-kb 0); --keep-flagged writes
// the photos that fail a face check too. Prints to `out`, UTF-8, one line
// per photo that failed a check ("<姓名> <身份证号或学校标识码_班级编号_姓名>：
// <reason>，需重拍"), then one per photo left out for another reason
// (student, photo, reason; TAB-separated), then the counts line; problems
// with the command line or the output folder go to `err`. An output folder
// that already holds files is used (files of the same name are replaced
// whole) with a note on `err`, as a script cannot answer a question.
// Returns 0 when every photo passed and was written or copied, 1 when any
// failed a check or was left out, 2 for bad options or an output folder that
// is the receive folder, lies inside it, or cannot be made.
int runExport(const std::vector<ExportJob>& jobs, const std::vector<std::string>& options,
              const std::filesystem::path& receiveFolder, const std::filesystem::path& outputFolder,
              std::ostream& out, std::ostream& err);

} // namespace velmora::registry
