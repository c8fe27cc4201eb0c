#pragma once

// Runs an export on every core: each photo is read, handed to the converter
// (which checks it, frames it by the head and makes the file, or says it
// may go as it is), and written under its new name through a temporary file
// renamed into place, so a cancelled or failed export leaves only whole
// files. A photo that fails a face check is left out unless the export
// keeps such photos; either way it is listed. The receive folder is only
// ever read.

#include "registry/export/ExportJob.h"
#include "registry/export/ExportOutcome.h"
#include "registry/export/ExportPreset.h"

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::registry {

// What the converter made of one photo.
struct Conversion {
    enum class Status {
        Converted,         // `bytes` is the new file
        Unchanged,         // the photo itself meets the preset: copied byte for byte
        Reshoot,           // it failed `check` and such photos are not kept
        Unreadable,        // no picture to make a file of
        SmallerThanPreset, // kept although flagged, but with no frame and too small to cut
        CannotFit,         // no quality brings the file into the size range
    };
    Status status = Status::Unreadable;
    std::string bytes;
    PhotoCheck check = PhotoCheck::Passed; // the face checks' verdict
};

// Turns a photo's bytes into a file that meets the preset; with
// `keepFlagged`, also one that fails a face check. Called on several threads
// at once.
using PhotoConverter =
    std::function<Conversion(std::string_view photo, const ExportPreset& preset, bool keepFlagged)>;

// True when `photo` may go to the upload as it is: a baseline JPEG of
// exactly the preset's size, within its byte range, stating the preset's
// resolution, and carrying no metadata (so no orientation tag either).
bool meetsPreset(std::string_view photo, const ExportPreset& preset);

class ExportRunner {
public:
    // Called after each photo with how many are done of how many, on the
    // worker thread that did it.
    using Progress = std::function<void(std::size_t done, std::size_t total)>;

    ExportRunner(ExportPreset preset, PhotoConverter converter, std::filesystem::path receiveFolder,
                 std::filesystem::path outputFolder);

    // Workers to use; 0 (the default) for one per core.
    void setThreadCount(unsigned count) { m_threads = count; }
    void setProgress(Progress progress) { m_progress = std::move(progress); }
    // Whether photos that fail a face check are written all the same
    // (仍然导出需重拍的照片); off by default.
    void setKeepFlagged(bool keep) { m_keepFlagged = keep; }

    // Stops the export: photos not started are not handled, and a photo
    // being made is not written. Safe from any thread.
    void cancel() { m_cancelled = true; }

    // Exports `jobs` and returns when every worker has stopped.
    ExportOutcome run(const std::vector<ExportJob>& jobs);

private:
    void work(const std::vector<ExportJob>& jobs, const std::vector<bool>& sameTarget);
    // Handles one job; false when it was cancelled before writing.
    bool exportOne(std::size_t index, const ExportJob& job, bool sameTarget);
    // Writes what the converter made; false when cancelled before writing.
    bool write(std::size_t index, const std::filesystem::path& target, const std::string& photo,
               const Conversion& made);
    void leaveOut(std::size_t index, LeftOutReason reason, std::string detail = {});
    void finishOne(std::size_t total);

    ExportPreset m_preset;
    PhotoConverter m_converter;
    std::filesystem::path m_receiveFolder;
    std::filesystem::path m_outputFolder;
    unsigned m_threads = 0;
    bool m_keepFlagged = false;
    Progress m_progress;
    std::atomic<bool> m_cancelled{false};
    std::atomic<std::size_t> m_next{0};
    std::mutex m_mutex; // guards m_outcome and m_done
    ExportOutcome m_outcome;
    std::size_t m_done = 0;
};

} // namespace velmora::registry
