#include "registry/ReceiveFolder.h"

#include "platform/Files.h"

#include <algorithm>
#include <array>

namespace fs = std::filesystem;

namespace velmora::registry {
namespace {

bool isPhotoExtension(std::string extension)
{
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    static const std::array<std::string, 3> PHOTO{".jpg", ".jpeg", ".png"};
    return std::find(PHOTO.begin(), PHOTO.end(), extension) != PHOTO.end();
}

// The part of `path` below the folder whose name takes `topLength`
// characters, as UTF-8 with "/" between levels. Cut from the text rather
// than worked out level by level, which took most of a check's time.
std::string relativeText(const fs::path& path, std::size_t topLength)
{
    const fs::path relative(path.native().substr(std::min(topLength, path.native().size())));
    const std::u8string text = relative.generic_u8string();
    return std::string(text.begin(), text.end());
}

std::size_t topLength(const fs::path& top)
{
    const auto& name = top.native();
    const bool endsWithSeparator = !name.empty() && (name.back() == fs::path::preferred_separator || name.back() == '/');
    return name.size() + (endsWithSeparator ? 0 : 1);
}

void addEntry(const fs::directory_entry& entry, std::size_t top, FolderContents& contents)
{
    std::error_code error;
    if (!entry.is_regular_file(error))
        return;
    const fs::path name = entry.path().filename();
    if (isProgramTemporary(platform::utf8FromPath(name))) {
        contents.staleTemporaries.push_back(entry.path());
        return;
    }
    if (!isPhotoExtension(platform::utf8FromPath(name.extension())) || entry.file_size(error) == 0 || error)
        return;
    PhotoFile photo;
    photo.path = entry.path();
    photo.relative = relativeText(entry.path(), top);
    photo.stem = platform::utf8FromPath(name.stem());
    const std::size_t last = photo.relative.rfind('/');
    if (last != std::string::npos) {
        const std::size_t before = photo.relative.rfind('/', last - 1);
        photo.folder = photo.relative.substr(before == std::string::npos ? 0 : before + 1,
                                             before == std::string::npos ? last : last - before - 1);
    }
    contents.photos.push_back(std::move(photo));
}

} // namespace

bool isProgramTemporary(std::string_view fileName)
{
    constexpr std::string_view PREFIX = ".velmora-";
    constexpr std::string_view SUFFIX = ".tmp";
    constexpr std::size_t HEX_DIGITS = 16;
    if (fileName.size() != PREFIX.size() + HEX_DIGITS + SUFFIX.size() || !fileName.starts_with(PREFIX)
        || !fileName.ends_with(SUFFIX))
        return false;
    const std::string_view hex = fileName.substr(PREFIX.size(), HEX_DIGITS);
    return hex.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

std::optional<FolderContents> readReceiveFolder(const fs::path& folder, std::string& reason)
{
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        reason = "接收目录不存在：" + platform::utf8FromPath(folder);
        return std::nullopt;
    }
    fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, error);
    if (error) {
        reason = "接收目录读不出：" + platform::utf8FromPath(folder);
        return std::nullopt;
    }
    FolderContents contents;
    const std::size_t top = topLength(folder);
    for (const fs::recursive_directory_iterator end; it != end; it.increment(error)) {
        if (error)
            break;
        addEntry(*it, top, contents);
    }
    std::sort(contents.photos.begin(), contents.photos.end(),
              [](const PhotoFile& a, const PhotoFile& b) { return a.relative < b.relative; });
    std::sort(contents.staleTemporaries.begin(), contents.staleTemporaries.end());
    return contents;
}

} // namespace velmora::registry
