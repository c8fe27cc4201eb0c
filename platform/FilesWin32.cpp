#include "platform/Files.h"
#include "platform/FilesInternal.h"

#include <windows.h>

#include <chrono>

namespace velmora::platform {
namespace {

bool fail(std::string* reason, const std::string& what)
{
    if (reason)
        *reason = what + ": Windows error " + std::to_string(GetLastError());
    return false;
}

bool writeAll(HANDLE file, std::string_view bytes)
{
    while (!bytes.empty()) {
        const DWORD chunk = bytes.size() > 0x40000000 ? 0x40000000 : static_cast<DWORD>(bytes.size());
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0)
            return false;
        bytes.remove_prefix(written);
    }
    return true;
}

// Another program holding the file being replaced open (a picture viewer
// showing the student's earlier photo, a virus scanner looking at it).
bool heldByAnother(DWORD error, const std::filesystem::path& file)
{
    if (error == ERROR_ACCESS_DENIED) {
        // A folder in the file's place is refused the same way, for good.
        const DWORD attributes = GetFileAttributesW(file.c_str());
        return attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    }
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// Renames `from` over `to`, the new name written through to the medium. A
// file held by another program is mostly let go within moments, so the
// rename is tried again for a while before the photo counts as not stored.
bool moveOver(const std::filesystem::path& from, const std::filesystem::path& to)
{
    const auto giveUp = std::chrono::steady_clock::now() + HELD_FILE_PATIENCE;
    for (;;) {
        if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        const DWORD error = GetLastError();
        if (!heldByAnother(error, to) || std::chrono::steady_clock::now() >= giveUp) {
            SetLastError(error);
            return false;
        }
        Sleep(static_cast<DWORD>(HELD_FILE_RETRY.count()));
    }
}

} // namespace

std::filesystem::path executableDirectory()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return std::filesystem::path(path).parent_path();
        }
        path.resize(path.size() * 2);
    }
}

std::string nameForCLibrary(const std::filesystem::path& path)
{
    const std::wstring& wide = path.native();
    BOOL lossy = FALSE;
    const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, nullptr, 0,
                                         nullptr, &lossy);
    if (size > 0 && !lossy) {
        std::string narrow(static_cast<std::size_t>(size), '\0');
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, narrow.data(), size,
                            nullptr, nullptr);
        narrow.resize(static_cast<std::size_t>(size - 1));
        return narrow;
    }
    // The short name is plain ASCII where the volume keeps short names.
    const DWORD shortSize = GetShortPathNameW(wide.c_str(), nullptr, 0);
    if (shortSize == 0)
        return {};
    std::wstring shortName(shortSize, L'\0');
    const DWORD length = GetShortPathNameW(wide.c_str(), shortName.data(), shortSize);
    if (length == 0 || length >= shortSize)
        return {};
    shortName.resize(length);
    std::string ascii;
    for (wchar_t c : shortName) {
        if (c > 0x7F)
            return {};
        ascii.push_back(static_cast<char>(c));
    }
    return ascii;
}

bool replaceFile(const std::filesystem::path& target, std::string_view bytes, std::string* reason)
{
    if (!target.has_filename()) {
        if (reason)
            *reason = "no file name: " + utf8FromPath(target);
        return false;
    }
    removeStaleTemporaries(target.parent_path());
    std::filesystem::path temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 16 && file == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = temporarySibling(target);
        file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    if (file == INVALID_HANDLE_VALUE)
        return fail(reason, "cannot create " + utf8FromPath(temporary));
    throttleWrite(bytes.size());
    // The data reach the medium before the name does: a stick pulled once
    // the photo shows as stored must hold the whole photo.
    const bool written = writeAll(file, bytes) && FlushFileBuffers(file);
    const DWORD writeError = GetLastError();
    const bool closed = CloseHandle(file);
    if (!written || !closed) {
        SetLastError(written ? GetLastError() : writeError);
        fail(reason, "cannot write " + utf8FromPath(temporary));
        DeleteFileW(temporary.c_str());
        return false;
    }
    if (!moveOver(temporary, target)) {
        fail(reason, "cannot replace " + utf8FromPath(target));
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

// Windows offers no call that flushes a folder: the removal is left to the
// file system's own journal.
bool removeFile(const std::filesystem::path& path, std::string* reason)
{
    if (!DeleteFileW(path.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND)
        return fail(reason, "cannot remove " + utf8FromPath(path));
    return true;
}

NewFile createEmptyFile(const std::filesystem::path& path)
{
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? NewFile::AlreadyThere
                                                                            : NewFile::Failed;
    }
    return CloseHandle(file) ? NewFile::Created : NewFile::Failed;
}

} // namespace velmora::platform
