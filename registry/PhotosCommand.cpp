#include "registry/PhotosCommand.h"

#include "platform/Files.h"
#include "registry/CheckReport.h"
#include "registry/ExportPlan.h"
#include "registry/RosterRows.h"

#include <ostream>

namespace velmora::registry {
namespace {

constexpr std::string_view USAGE =
    "用法：\n"
    "  velmora-photos check 名册文件 接收目录（有学生缺照片或需重拍时退出码为 1）\n"
    "  velmora-photos export 名册文件 接收目录 输出目录 [--size 358x441] [--max-kb 60] [--min-kb 0]"
    " [--keep-flagged]\n"
    "名册文件：制表符分隔的文本（UTF-8、GB18030/GBK 或 UTF-16）或填好的名册模板 .xls。\n";

// The pairing of the roster file and folder named by args[0] and args[1].
std::optional<PairingResult> pairingOf(const std::vector<std::string>& args, std::ostream& err)
{
    std::string reason;
    const auto roster = readRosterFile(platform::pathFromUtf8(args[0]), reason);
    if (!roster) {
        err << reason << "：" << args[0] << "\n";
        return std::nullopt;
    }
    // A roster read as nobody would report every student present.
    if (rosterStudents(*roster).empty()) {
        err << "名册文件里没有学生（每行：学校标识码、姓名、身份证号、班级编号，用制表符分隔）：" << args[0] << "\n";
        return std::nullopt;
    }
    auto pairing = checkPhotos(*roster, platform::pathFromUtf8(args[1]), reason);
    if (!pairing)
        err << reason << "\n";
    return pairing;
}

int runCheck(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const PhotoJudge& judge)
{
    if (args.size() != 2) {
        err << USAGE;
        return EXIT_BAD_INPUT;
    }
    const auto pairing = pairingOf(args, err);
    if (!pairing)
        return EXIT_BAD_INPUT;
    const ReshootFindings reshoot = findReshoots(*pairing, [&judge](const PhotoFile& photo) {
        return judge ? std::optional<std::string>(judge(photo.path)) : std::nullopt;
    });
    out << countsLine(*pairing, reshoot) << "\n" << missingText(*pairing, "\n");
    for (const std::string& line : reshootLines(*pairing, reshoot))
        out << line << "\n";
    for (const std::string& line : otherFindings(*pairing))
        out << line << "\n";
    return pairing->missing() == 0 && reshoot.complete() && reshoot.students.empty() ? EXIT_COMPLETE
                                                                                      : EXIT_INCOMPLETE;
}

int runExportCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                     const ExportRunner& exportPhotos)
{
    if (!exportPhotos) {
        err << "velmora-photos: export is not built into this program\n";
        return EXIT_BAD_INPUT;
    }
    if (args.size() < 3) {
        err << USAGE;
        return EXIT_BAD_INPUT;
    }
    const auto pairing = pairingOf(args, err);
    if (!pairing)
        return EXIT_BAD_INPUT;
    return exportPhotos(planExport(*pairing), {args.begin() + 3, args.end()}, platform::pathFromUtf8(args[1]),
                        platform::pathFromUtf8(args[2]), out, err);
}

} // namespace

std::optional<PairingResult> checkPhotos(std::string_view utf8Roster, const std::filesystem::path& folder,
                                         std::string& reason)
{
    auto contents = readReceiveFolder(folder, reason);
    if (!contents)
        return std::nullopt;
    return pairPhotos(rosterStudents(utf8Roster), std::move(*contents));
}

int runPhotosCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                     const ExportRunner& exportPhotos, const PhotoJudge& judge)
{
    if (!args.empty() && args.front() == "check")
        return runCheck({args.begin() + 1, args.end()}, out, err, judge);
    if (!args.empty() && args.front() == "export")
        return runExportCommand({args.begin() + 1, args.end()}, out, err, exportPhotos);
    err << USAGE;
    return EXIT_BAD_INPUT;
}

} // namespace velmora::registry
