#include "platform/Files.h"
#include "platform/FilesInternal.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace velmora::platform {
namespace {

bool fail(std::string* reason, const std::string& what)
{
    if (reason)
        *reason = what + ": " + std::strerror(errno);
    return false;
}

bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

bool flush(int fd)
{
    while (::fsync(fd) != 0) {
        if (errno != EINTR)
            return false;
    }
    return true;
}

// Makes the rename itself durable. A file system that cannot sync a folder
// (some network and FUSE mounts say so) has nothing more to give; only an
// input/output error means the new name may not be on the medium.
bool flushFolder(const std::filesystem::path& folder)
{
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return true;
    const bool flushed = flush(fd) || errno != EIO;
    const int flushErrno = errno;
    ::close(fd);
    errno = flushErrno;
    return flushed;
}

} // namespace

std::filesystem::path executableDirectory()
{
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : executable.parent_path();
}

std::string nameForCLibrary(const std::filesystem::path& path)
{
    return path.string();
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
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temporary = temporarySibling(target);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        return fail(reason, "cannot create " + temporary.string());
    throttleWrite(bytes.size());
    // The data reach the medium before the name does: a stick pulled once
    // the photo shows as stored must hold the whole photo.
    const bool written = writeAll(fd, bytes) && flush(fd);
    const int writeErrno = errno;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed) {
        errno = written ? errno : writeErrno;
        fail(reason, "cannot write " + temporary.string());
        ::unlink(temporary.c_str());
        return false;
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        fail(reason, "cannot replace " + target.string());
        ::unlink(temporary.c_str());
        return false;
    }
    if (!flushFolder(target.parent_path()))
        return fail(reason, "cannot flush the folder of " + target.string());
    return true;
}

bool removeFile(const std::filesystem::path& path, std::string* reason)
{
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        return fail(reason, "cannot remove " + path.string());
    if (!flushFolder(path.parent_path()))
        return fail(reason, "cannot flush the folder of " + path.string());
    return true;
}

NewFile createEmptyFile(const std::filesystem::path& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno == EEXIST ? NewFile::AlreadyThere : NewFile::Failed;
    return ::close(fd) == 0 ? NewFile::Created : NewFile::Failed;
}

} // namespace velmora::platform
