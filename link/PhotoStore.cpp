#include "link/PhotoStore.h"

#include "link/WindowsNames.h"
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
std::vector<std::string_view> gbkLevels(std::string_view name)
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

// The levels of a UTF-8 name: no byte of a multi-byte character is ASCII,
// so "\" and "/" are found byte by byte.
std::vector<std::string_view> utf8Levels(std::string_view name)
{
    std::vector<std::string_view> out;
    std::size_t start = 0;
    for (std::size_t pos = name.find_first_of("\\/"); pos != std::string_view::npos;
         pos = name.find_first_of("\\/", start)) {
        out.push_back(name.substr(start, pos - start));
        start = pos + 1;
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

constexpr std::string_view WRITTEN_FORBIDDEN(":/\\\0", 4);

// The level is checked as the phone sent it and as it will be written: the
// conversion drops a lead byte cut off at the level's end, so "..\x95" turns
// into ".." and a lone "\x95" into an empty level, which would make the path
// absolute. In GBK a trail byte may be "\" or "/"; in the written UTF-8 text
// neither may appear.
bool isSafeGbkLevel(std::string_view level)
{
    return isSafeLevelText(level, ":") && isSafeLevelText(platform::gbkToUtf8(level), WRITTEN_FORBIDDEN);
}

bool isSafeUtf8Level(std::string_view level)
{
    return isSafeLevelText(level, WRITTEN_FORBIDDEN);
}

// How a name's text is searched, split and written: GBK by character, or the
// UTF-8 form of a name holding characters GBK lacks, byte by byte.
struct NameText {
    std::string_view text;
    bool gbk = true;

    std::size_t findLast(std::string_view needle) const
    {
        return gbk ? platform::gbkFindLast(text, needle) : text.rfind(needle);
    }
    bool contains(std::string_view needle) const
    {
        return (gbk ? platform::gbkFind(text, needle) : text.find(needle)) != std::string_view::npos;
    }
    NameText part(std::size_t pos, std::size_t count = std::string_view::npos) const
    {
        return {text.substr(pos, count), gbk};
    }
    // Every level, the empty ones too.
    std::vector<std::string_view> allLevels() const { return gbk ? gbkLevels(text) : utf8Levels(text); }
    // The levels a path is made of: empty ones ("a\\b", a leading "\")
    // collapse, since a phone that builds a path from an empty roster field
    // means the level above, and an empty level can lead nowhere else.
    std::vector<std::string_view> levels() const
    {
        std::vector<std::string_view> out = allLevels();
        std::erase_if(out, [](std::string_view level) { return level.empty(); });
        return out;
    }
    // Whether the last level, after the last "\" or "/", is a file name.
    bool hasFileName() const { return !allLevels().back().empty(); }
    std::string utf8(std::string_view level) const
    {
        return gbk ? platform::gbkToUtf8(level) : std::string(level);
    }
    bool isSafe() const
    {
        if (text.empty() || text.find('\0') != std::string_view::npos || !hasFileName())
            return false;
        for (std::string_view level : levels()) {
            if (!(gbk ? isSafeGbkLevel(level) : isSafeUtf8Level(level)))
                return false;
        }
        return true;
    }
    // The file-name part: what follows the last "\", or the whole name.
    NameText fileName() const
    {
        const std::size_t last = findLast("\\");
        return last == std::string_view::npos ? *this : part(last + 1);
    }
};

// The form a name is filed under: its own characters when GBK lacks some.
NameText filedForm(const PhotoName& name)
{
    return name.unicode.empty() ? NameText{name.gbk, true} : NameText{name.unicode, false};
}

// The levels of the text in the form they are written in, each a name
// Windows takes (WindowsNames.h), joined by `separator`.
std::string storedText(const NameText& name, char separator)
{
    std::string utf8;
    bool first = true;
    for (std::string_view level : name.levels()) {
        if (!first)
            utf8.push_back(separator);
        utf8 += storableLevel(name.utf8(level));
        first = false;
    }
    return utf8;
}

// The text as a path of the file system, with the phone's "\" turned into
// this platform's separator. Only called for safe names.
fs::path toPath(const NameText& name)
{
    return platform::pathFromUtf8(storedText(name, platform::PATH_SEPARATOR));
}

// What 标签11 shows: the file-name part as it is written.
std::string shownFileName(const NameText& name)
{
    return storedText(name.fileName(), '/');
}

struct Plan {
    fs::path directoryPart; // made under the receive directory; may be empty
    fs::path target;
};

// Where `fileName` goes when the current photo name is `photoName` (they are
// the same name for a photo, and differ for a name-list entry).
Plan plan(const fs::path& receiveDirectory, const NameText& photoName, const NameText& fileName)
{
    Plan out;
    const std::size_t lastSeparator = photoName.findLast("\\");
    if (lastSeparator != std::string_view::npos)
        out.directoryPart = toPath(photoName.part(0, lastSeparator));
    fs::path relative = toPath(fileName);
    if (photoName.contains("_"))
        relative = toPath(NameText{NO_ID_FOLDER_GBK, true}) / relative;
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

// Checks the names before any folder is looked at; false (with `result`
// filled in) when nothing may be written.
bool checkNames(const PhotoName& photoName, const PhotoName& fileName, StoreResult& result)
{
    const NameText photoForm = filedForm(photoName);
    const NameText fileForm = filedForm(fileName);
    result.fileName = photoFileName(fileName.gbk);
    result.shownName = shownFileName(fileForm);
    if (fileName.gbk.empty() || result.fileName.empty() || !fileForm.hasFileName()) {
        result.status = StoreResult::Status::NoName;
        result.detail = "no file name";
        return false;
    }
    // The GBK text is checked as well: it is what the window and the list
    // work with, and it must stay as safe as the form that is written.
    if (!isSafePhotoName(photoName.gbk) || !isSafePhotoName(fileName.gbk) || !photoForm.isSafe()
        || !fileForm.isSafe()) {
        result.status = StoreResult::Status::UnsafeName;
        result.shownName = fileForm.utf8(fileForm.fileName().text); // as sent: nothing is stored
        result.detail = "name leaves the receive directory: " + fileForm.utf8(fileForm.text);
        return false;
    }
    return true;
}

// Checks the names and the receive directory and makes every directory the
// target needs; false (with `result` filled in) when nothing may be written.
bool prepare(const fs::path& receiveDirectory, const PhotoName& photoName,
             const PhotoName& fileName, Plan& chosen, StoreResult& result)
{
    if (!checkNames(photoName, fileName, result))
        return false;
    std::error_code error;
    if (!fs::is_directory(receiveDirectory, error)) {
        result.status = StoreResult::Status::FolderMissing;
        result.detail = "receive directory missing: " + platform::utf8FromPath(receiveDirectory);
        return false;
    }
    chosen = plan(receiveDirectory, filedForm(photoName), filedForm(fileName));
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

std::string PhotoName::shown() const
{
    return unicode.empty() ? platform::gbkToUtf8(gbk) : unicode;
}

std::string photoFileName(std::string_view gbkName)
{
    return std::string(NameText{gbkName, true}.fileName().text);
}

bool isSafePhotoName(std::string_view gbkName)
{
    return NameText{gbkName, true}.isSafe();
}

StoreResult storePhoto(const fs::path& receiveDirectory, std::string_view gbkName, std::string_view photo)
{
    return storePhoto(receiveDirectory, PhotoName(std::string(gbkName)), photo);
}

std::optional<StoreResult> refusal(const PhotoName& name, std::string_view photo)
{
    StoreResult result;
    if (photo.empty() && !name.empty()) {
        result.fileName = photoFileName(name.gbk);
        result.shownName = shownFileName(filedForm(name));
        result.status = StoreResult::Status::EmptyPhoto;
        result.detail = "empty photo not written over " + name.shown();
        return result;
    }
    if (!checkNames(name, name, result))
        return result;
    return std::nullopt;
}

std::string shownFileName(const PhotoName& name)
{
    StoreResult result;
    checkNames(name, name, result);
    return result.shownName;
}

StoreResult storePhoto(const fs::path& receiveDirectory, const PhotoName& name, std::string_view photo)
{
    return storePhoto(receiveDirectory, name, photo, nullptr);
}

namespace {

// The first "<stem>-N<extension>" beside `target`, N from 2, that names
// nothing on disk, in the target's stored form (a mapped name keeps its
// form: "ＣＯＮ.jpg" gives "ＣＯＮ-2.jpg"); empty when BESIDE_MOST are taken.
// The result is a name Windows takes whenever `target` is one: it ends in
// the target's extension, or in a digit.
fs::path besideName(const fs::path& target)
{
    constexpr int BESIDE_MOST = 9999;
    for (int n = 2; n <= BESIDE_MOST; ++n) {
        fs::path name = target.stem();
        name += "-" + std::to_string(n);
        name += target.extension();
        const fs::path candidate = target.parent_path() / name;
        std::error_code error;
        if (!fs::exists(fs::symlink_status(candidate, error)))
            return candidate;
    }
    return {};
}

} // namespace

StoreResult storePhoto(const fs::path& receiveDirectory, const PhotoName& name, std::string_view photo,
                       StoredThisRun* besideStoredOf)
{
    if (auto refused = refusal(name, photo))
        return *refused;
    StoreResult result;
    Plan chosen;
    if (!prepare(receiveDirectory, name, name, chosen, result))
        return result;
    const bool beside = besideStoredOf && besideStoredOf->count(chosen.target.lexically_normal());
    if (beside) {
        chosen.target = besideName(chosen.target);
        if (chosen.target.empty()) {
            result.status = StoreResult::Status::WriteFailed;
            result.detail = "no free name beside " + name.shown();
            return result;
        }
    }
    if (!writeReplacing(chosen.target, photo, result))
        return result; // "保存失败：" names the student's photo, not the name tried beside it
    result.target = chosen.target;
    if (beside) {
        result.storedBeside = true;
        result.shownName = platform::utf8FromPath(chosen.target.filename());
    }
    return result;
}

StoreResult storeListEntry(const fs::path& receiveDirectory, std::string_view gbkName, std::string_view entry)
{
    return storeListEntry(receiveDirectory, PhotoName(std::string(gbkName)), PhotoName(std::string(entry)));
}

StoreResult storeListEntry(const fs::path& receiveDirectory, const PhotoName& name, const PhotoName& entry)
{
    StoreResult result;
    Plan chosen;
    if (!prepare(receiveDirectory, name, entry, chosen, result))
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

StoreResult store(const StoreJob& job)
{
    StoredThisRun ownRun;
    return store(job, ownRun);
}

StoreResult store(const StoreJob& job, StoredThisRun& stored)
{
    if (job.kind == StoreJob::Kind::ListEntry)
        return storeListEntry(job.receiveDirectory, job.name, job.entry);
    StoreResult result = storePhoto(job.receiveDirectory, job.name, job.photo, job.besideStored ? &stored : nullptr);
    if (result.status == StoreResult::Status::Stored)
        stored.insert(result.target.lexically_normal());
    return result;
}

} // namespace velmora::link
