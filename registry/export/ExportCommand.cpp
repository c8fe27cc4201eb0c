#include "registry/export/ExportCommand.h"

#include "platform/Files.h"
#include "registry/export/ExportRunner.h"
#include "registry/export/OutputFolder.h"
#include "registry/export/PhotoConverter.h"

#include <algorithm>

namespace velmora::registry {
namespace {

constexpr std::string_view KEEP_FLAGGED = "--keep-flagged";

void printOutcome(const std::vector<ExportJob>& jobs, const ExportOutcome& outcome, std::ostream& out)
{
    for (const Flagged& flagged : outcome.flagged)
        out << reshootLine(jobs[flagged.job], flagged.check) << '\n';
    for (const LeftOut& left : outcome.leftOut) {
        if (left.reason == LeftOutReason::NeedsReshoot)
            continue; // listed above
        const ExportJob& job = jobs[left.job];
        out << job.student << '\t' << platform::utf8FromPath(job.source) << '\t' << leftOutText(left.reason);
        if (!left.detail.empty())
            out << "：" << left.detail;
        out << '\n';
    }
    out << summaryLine(outcome) << '\n';
}

} // namespace

int runExport(const std::vector<ExportJob>& jobs, const std::vector<std::string>& options,
              const std::filesystem::path& receiveFolder, const std::filesystem::path& outputFolder,
              std::ostream& out, std::ostream& err)
{
    std::vector<std::string> presetOptions = options;
    const bool keepFlagged = std::erase(presetOptions, std::string(KEEP_FLAGGED)) > 0;
    std::string error;
    const auto preset = presetFromOptions(presetOptions, error);
    if (!preset) {
        err << error << '\n';
        return 2;
    }
    const OutputFolderCheck check = checkOutputFolder(receiveFolder, outputFolder);
    if (const std::string refused = outputFolderRefusal(check); !refused.empty()) {
        err << refused << '\n';
        return 2;
    }
    if (check == OutputFolderCheck::HoldsFiles)
        err << "输出文件夹中已有文件，同名的将被替换\n";
    std::error_code made;
    std::filesystem::create_directories(outputFolder, made);
    if (made) {
        err << "无法创建输出文件夹：" << platform::utf8FromPath(outputFolder) << '\n';
        return 2;
    }
    ExportRunner runner(*preset, convertPhoto, receiveFolder, outputFolder);
    runner.setKeepFlagged(keepFlagged);
    const ExportOutcome outcome = runner.run(jobs);
    printOutcome(jobs, outcome, out);
    return outcome.leftOut.empty() && outcome.flagged.empty() && !outcome.cancelled ? 0 : 1;
}

} // namespace velmora::registry
