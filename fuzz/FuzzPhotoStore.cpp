// The storage rules on any photo name and name-list entry: whatever a name
// holds, every file and directory made stays inside the receive directory
// under a name Windows takes too, and a photo reported stored is there, whole.

#include "link/PhotoStore.h"
#include "link/WindowsNames.h"
#include "platform/Codepage.h"

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

namespace fs = std::filesystem;

namespace {

// One directory per process: the receive directory and, beside it, a
// directory a name escaping upwards would land in.
struct Sandbox {
    fs::path root;
    fs::path receive;
    Sandbox()
    {
        root = fs::temp_directory_path() / ("velmora-fuzz-store-" + std::to_string(::getpid()));
        receive = root / "receive";
        fs::create_directories(receive);
    }
    ~Sandbox()
    {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
};

Sandbox& sandbox()
{
    static Sandbox box;
    return box;
}

bool inside(const fs::path& path, const fs::path& directory)
{
    const fs::path normal = fs::weakly_canonical(path).lexically_normal();
    const fs::path relative = normal.lexically_relative(directory);
    return !relative.empty() && *relative.begin() != "..";
}

std::string contents(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Everything under the sandbox lies inside the receive directory; true when
// some regular file there holds `photo`. A file reported stored but not found
// here went somewhere else.
bool checkTree(const Sandbox& box, std::string_view photo)
{
    const fs::path receive = fs::weakly_canonical(box.receive);
    bool found = false;
    for (const auto& entry : fs::recursive_directory_iterator(box.root)) {
        if (entry.path() == box.receive)
            continue;
        if (entry.is_symlink() || !inside(entry.path(), receive))
            std::abort();
        // A name made here that Windows refuses would lose the photo there.
        const std::u8string name = entry.path().filename().u8string();
        if (!velmora::link::isStorableLevel(std::string(name.begin(), name.end())))
            std::abort();
        if (entry.is_regular_file() && contents(entry.path()) == photo)
            found = true;
    }
    return found;
}

} // namespace

// Input: photo name, a zero byte, list entry, a zero byte, photo bytes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t first = input.find('\0');
    const std::string_view name = input.substr(0, first);
    std::string_view entry;
    std::string_view photo;
    if (first != std::string_view::npos) {
        const std::string_view rest = input.substr(first + 1);
        const std::size_t second = rest.find('\0');
        entry = rest.substr(0, second);
        if (second != std::string_view::npos)
            photo = rest.substr(second + 1);
    }
    Sandbox& box = sandbox();
    const auto stored = velmora::link::storePhoto(box.receive, name, photo);
    if (stored.status == velmora::link::StoreResult::Status::Stored
        && (!velmora::link::isSafePhotoName(name) || !checkTree(box, photo)))
        std::abort();
    if (stored.status == velmora::link::StoreResult::Status::Stored) {
        // The photo again with no name of its own, the first stored in this
        // run: it goes beside it, inside all the same, and the first stays.
        velmora::link::StoredThisRun run{stored.target.lexically_normal()};
        const auto beside = velmora::link::storePhoto(box.receive, velmora::link::PhotoName(std::string(name)),
                                                      photo, &run);
        if (beside.status == velmora::link::StoreResult::Status::Stored
            && (!beside.storedBeside || beside.target == stored.target || !checkTree(box, photo)))
            std::abort();
    }
    const auto listed = velmora::link::storeListEntry(box.receive, name, entry);
    if (listed.ok() && !velmora::link::isSafePhotoName(entry))
        std::abort();
    if (listed.status == velmora::link::StoreResult::Status::Stored && !checkTree(box, ""))
        std::abort();
    // The name as the phone's UTF-8: one holding characters GBK lacks is
    // filed under its own characters, and must stay inside all the same.
    const velmora::platform::GbkConversion converted = velmora::platform::convertUtf8ToGbk(name);
    if (converted.missingCharacters && !converted.invalidUtf8) {
        const velmora::link::PhotoName rare(converted.gbk, std::string(name));
        const auto own = velmora::link::storePhoto(box.receive, rare, photo);
        if (own.status == velmora::link::StoreResult::Status::Stored && !checkTree(box, photo))
            std::abort();
    }
    checkTree(box, photo);
    for (const auto& child : fs::directory_iterator(box.receive))
        fs::remove_all(child.path());
    return 0;
}
