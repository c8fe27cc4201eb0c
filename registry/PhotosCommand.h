#pragma once

// velmora-photos, the photo check (and the upload export, where built) for
// IT staff and scripts:
//   velmora-photos check ROSTER FOLDER
//   velmora-photos export ROSTER FOLDER OUT [--size WxH] [--max-kb N] [--min-kb N]
// check judges the photo that counts of every student (see registry/Reshoot.h)
// and lists the students to reshoot.
// Exit codes: 0 every student has a photo and, for check, none is to
// reshoot (for export, every photo was written), 1 not so, 2 a bad command line or a roster or folder that cannot
// be read.

#include "registry/Pairing.h"
#include "registry/export/ExportJob.h"

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::registry {

inline constexpr int EXIT_COMPLETE = 0;
inline constexpr int EXIT_INCOMPLETE = 1;
inline constexpr int EXIT_BAD_INPUT = 2;

// Pairs the roster text `utf8Roster` with the photos under `folder`.
// nullopt with `reason` set when the folder cannot be read.
std::optional<PairingResult> checkPhotos(std::string_view utf8Roster, const std::filesystem::path& folder,
                                         std::string& reason);

// Writes the export's photos: the jobs, the options after OUT, the receive
// folder and OUT; returns the exit code (see registry/export/ExportCommand.h).
using ExportRunner = std::function<int(const std::vector<ExportJob>& jobs, const std::vector<std::string>& options,
                                       const std::filesystem::path& receiveFolder,
                                       const std::filesystem::path& outputFolder, std::ostream& out,
                                       std::ostream& err)>;

// The verdict of one photo for check: "" when it passes, else the reason.
using PhotoJudge = std::function<std::string(const std::filesystem::path& photo)>;

// Runs the tool on `args` (the arguments after the program name, UTF-8),
// printing UTF-8 to `out` and `err`; returns the exit code. Without
// `exportPhotos`, `export` says it is not built here.
// Without `judge`, check does not judge the photos and its counts line says
// the reshoot count is not known.
int runPhotosCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                     const ExportRunner& exportPhotos = {}, const PhotoJudge& judge = {});

} // namespace velmora::registry
