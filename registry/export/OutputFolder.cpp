#include "registry/export/OutputFolder.h"

#include "platform/Files.h"

namespace velmora::registry {

bool isWithinFolder(const std::filesystem::path& path, const std::filesystem::path& folder)
{
    std::error_code error;
    const std::filesystem::path target = std::filesystem::weakly_canonical(std::filesystem::absolute(path, error), error);
    const std::filesystem::path base = std::filesystem::weakly_canonical(std::filesystem::absolute(folder, error), error);
    const bool baseExists = std::filesystem::exists(base, error);
    for (std::filesystem::path at = target;; at = at.parent_path()) {
        if (baseExists && std::filesystem::exists(at, error)) {
            if (std::filesystem::equivalent(at, base, error))
                return true;
        } else if (at == base) {
            return true;
        }
        if (at == at.parent_path() || at.empty())
            return false;
    }
}

std::filesystem::path outputFolderBeside(const std::filesystem::path& receiveFolder)
{
    std::filesystem::path folder = receiveFolder;
    while (!folder.empty() && folder.filename().empty() && folder != folder.root_path()
           && folder.parent_path() != folder)
        folder = folder.parent_path();
    if (folder.filename().empty() || folder.filename() == "." || folder.filename() == "..")
        return {};
    std::filesystem::path name = folder.filename();
    name += platform::pathFromUtf8("_上传");
    return folder.parent_path() / name;
}

std::string outputFolderRefusal(OutputFolderCheck check)
{
    switch (check) {
    case OutputFolderCheck::IsReceiveFolder:
        return "输出文件夹不能是接收照片的文件夹";
    case OutputFolderCheck::InsideReceiveFolder:
        return "输出文件夹不能在接收照片的文件夹之内";
    case OutputFolderCheck::NotAFolder:
        return "输出位置不是文件夹";
    case OutputFolderCheck::Usable:
    case OutputFolderCheck::HoldsFiles:
        break;
    }
    return {};
}

OutputFolderCheck checkOutputFolder(const std::filesystem::path& receiveFolder,
                                    const std::filesystem::path& output)
{
    std::error_code error;
    if (output.empty())
        return OutputFolderCheck::NotAFolder;
    if (!receiveFolder.empty() && isWithinFolder(output, receiveFolder)) {
        const bool same = std::filesystem::equivalent(output, receiveFolder, error)
            || std::filesystem::weakly_canonical(output, error) == std::filesystem::weakly_canonical(receiveFolder, error);
        return same ? OutputFolderCheck::IsReceiveFolder : OutputFolderCheck::InsideReceiveFolder;
    }
    const auto status = std::filesystem::status(output, error);
    if (status.type() == std::filesystem::file_type::not_found)
        return OutputFolderCheck::Usable;
    if (status.type() != std::filesystem::file_type::directory)
        return OutputFolderCheck::NotAFolder;
    return std::filesystem::directory_iterator(output, error) == std::filesystem::directory_iterator()
        ? (error ? OutputFolderCheck::NotAFolder : OutputFolderCheck::Usable)
        : OutputFolderCheck::HoldsFiles;
}

} // namespace velmora::registry
