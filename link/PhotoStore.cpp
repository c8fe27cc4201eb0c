#include "link/PhotoStore.h"

#include "platform/Codepage.h"
#include "platform/Files.h"
#include "platform/PathSeparator.h"

#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace velmora::link {

// "无身份证照片" in GBK.
const std::string NO_ID_FOLDER_GBK =
    "\xCE\xDE\xC9\xED\xB7\xDD\xD6\xA4\xD5\xD5\xC6\xAC";

namespace {

using platform::gbkCharLength;

// The levels of a GBK name, split on character boundaries at "\" and at "/".
std::vector<std::string_view> levels(std::string_view name)
{
    std::vector<std::string_view> out;
    std::size_t start = 0;
    for (std::size_t pos = 0; pos < name.size();) {
        const std::size_t len = gbkCharLength(name, pos);
        if (len == 1 && (name[pos] == '\\' || name[pos] == '/')) {
            out.push_back(name.substr(start, pos - start));
            start = pos + 1;
        }
        pos += len;
    }
    out.push_back(name.substr(start));
    return out;
}

// Whether one level, as text, stays where it is: not empty, not only dots and
// blanks (Windows drops trailing dots and blanks, so "..." and ". ." reach the
// parent just as ".." does), and free of `forbidden`.
bool isSafeLevelText(std::string_view level, std::string_view forbidden)
{
    std::size_t end = level.size();
    while (end > 0 && (level[end - 1] == '.' || level[end - 1] == ' '))
        --end;
    return end > 0 && level.find_first_of(forbidden) == std::string_view::npos;
}

// The level is checked as the phone sent it and as it will be written: the
// conversion drops a lead byte cut off at the level's end, so "..\x95" turns
// into ".." and a lone "\x95" into an empty level, which would make the path
// absolute. In GBK a trail byte may be "\" or "/"; in the written UTF-8 text
// neither may appear.
bool isSafeLevel(std::string_view level)
{
    return isSafeLevelText(level, ":")
        && isSafeLevelText(platform::gbkToUtf8(level), std::string_view(":/\\\0", 4));
}

// The GBK text as a path of the file system, with the phone's "\" turned into
// this platform's separator. Only called for safe names.
fs::path toPath(std::string_view gbk)
{
    std::string utf8;
    bool first = true;
    for (std::string_view level : levels(gbk)) {
        if (!first)
            utf8.push_back(platform::PATH_SEPARATOR);
        utf8 += platform::gbkToUtf8(level);
        first = false;
    }
    return platform::pathFromUtf8(utf8);
}

struct Plan {
    fs::path directoryPart; // made under the receive directory; may be empty
    fs::path target;
};

// Where `fileName` goes when the current photo name is `photoName` (they are
// the same name for a photo, and differ for a name-list entry).
Plan plan(const fs::path& receiveDirectory, std::string_view photoName,
                         std::string_view fileName)
{
    Plan out;
    const std::size_t lastSeparator = platform::gbkFindLast(photoName, "\\");
    if (lastSeparator != std::string_view::npos)
        out.directoryPart = toPath(photoName.substr(0, lastSeparator));
    fs::path relative = toPath(fileName);
    if (platform::gbkFind(photoName, "_") != std::string_view::npos)
        relative = toPath(NO_ID_FOLDER_GBK) / relative;
    out.target = receiveDirectory / relative;
    return out;
}

bool makeDirectories(const fs::path& directory, StoreResult& result)
{
    std::error_code error;
    fs::create_directories(directory, error);
    if (error || !fs::is_directory(directory, error)) {
        result.status = StoreResult::Status::WriteFailed;
        result.detail = "cannot make directory " + platform::utf8FromPath(directory)
            + (error ? ": " + error.message() : std::string());
        return false;
    }
    return true;
}

// Checks the name and the receive directory and makes every directory the
// target needs; false (with `result` filled in) when nothing may be written.
bool prepare(const fs::path& receiveDirectory, std::string_view photoName,
             std::string_view fileName, Plan& chosen, StoreResult& result)
{
    result.fileName = photoFileName(fileName);
    if (fileName.empty() || photoFileName(fileName).empty()) {
        result.status = StoreResult::Status::NoName;
        result.detail = "no file name";
        return false;
    }
    if (!isSafePhotoName(photoName) || !isSafePhotoName(fileName)) {
        result.status = StoreResult::Status::UnsafeName;
        result.detail = "name leaves the receive directory: " + platform::gbkToUtf8(fileName);
        return false;
    }
    std::error_code error;
    if (!fs::is_directory(receiveDirectory, error)) {
        result.status = StoreResult::Status::WriteFailed;
        result.detail = "receive directory missing: " + platform::utf8FromPath(receiveDirectory);
        return false;
    }
    chosen = plan(receiveDirectory, photoName, fileName);
    if (!chosen.directoryPart.empty() && !makeDirectories(receiveDirectory / chosen.directoryPart, result))
        return false;
    return makeDirectories(chosen.target.parent_path(), result);
}

bool writeReplacing(const fs::path& target, std::string_view bytes, StoreResult& result)
{
    std::string reason;
    if (!platform::replaceFile(target, bytes, &reason)) {
        result.status = StoreResult::Status::WriteFailed;
        result.detail = reason;
        return false;
    }
    result.status = StoreResult::Status::Stored;
    return true;
}

} // namespace

std::string photoFileName(std::string_view gbkName)
{
    const std::size_t last = platform::gbkFindLast(gbkName, "\\");
    return std::string(last == std::string_view::npos ? gbkName : gbkName.substr(last + 1));
}

bool isSafePhotoName(std::string_view gbkName)
{
    if (gbkName.empty() || gbkName.find('\0') != std::string_view::npos)
        return false;
    for (std::string_view level : levels(gbkName)) {
        if (!isSafeLevel(level))
            return false;
    }
    return true;
}

StoreResult storePhoto(const fs::path& receiveDirectory, std::string_view gbkName,
                       std::string_view photo)
{
    StoreResult result;
    Plan chosen;
    if (photo.empty() && !gbkName.empty()) {
        result.fileName = photoFileName(gbkName);
        result.status = StoreResult::Status::EmptyPhoto;
        result.detail = "empty photo not written over " + platform::gbkToUtf8(gbkName);
        return result;
    }
    if (!prepare(receiveDirectory, gbkName, gbkName, chosen, result))
        return result;
    writeReplacing(chosen.target, photo, result);
    return result;
}

StoreResult storeListEntry(const fs::path& receiveDirectory, std::string_view gbkName,
                           std::string_view entry)
{
    StoreResult result;
    Plan chosen;
    if (!prepare(receiveDirectory, gbkName, entry, chosen, result))
        return result;
    std::error_code error;
    if (fs::exists(fs::symlink_status(chosen.target, error))) {
        result.status = StoreResult::Status::AlreadyThere;
        return result;
    }
    switch (platform::createEmptyFile(chosen.target)) {
    case platform::NewFile::Created:
        result.status = StoreResult::Status::Stored;
        break;
    case platform::NewFile::AlreadyThere:
        result.status = StoreResult::Status::AlreadyThere;
        break;
    case platform::NewFile::Failed:
        result.status = StoreResult::Status::WriteFailed;
        result.detail = "cannot create " + platform::utf8FromPath(chosen.target);
        break;
    }
    return result;
}

} // namespace velmora::link
