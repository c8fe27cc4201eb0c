#include "link/PhotoHolding.h"

#include "platform/Files.h"

#include <algorithm>
#include <fstream>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

namespace velmora::link {
namespace {

std::string utf8(const fs::path& path)
{
    return platform::utf8FromPath(path);
}

// Up to `limit` bytes from the start of `file`; false when it cannot be read.
bool readBytes(const fs::path& file, std::size_t limit, std::string& bytes)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return false;
    bytes.resize(limit);
    in.read(bytes.data(), static_cast<std::streamsize>(limit));
    if (in.bad())
        return false;
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return true;
}

// The record in `file` with its photo; nullopt when it cannot be read or is
// not whole.
std::optional<HeldPhotoRecord> readRecord(const fs::path& file, std::string& photo, std::string& reason)
{
    std::error_code error;
    const std::uintmax_t size = fs::file_size(file, error);
    std::string bytes;
    if (error || !readBytes(file, static_cast<std::size_t>(size), bytes) || bytes.size() != size) {
        reason = "cannot read held photo " + utf8(file) + (error ? ": " + error.message() : std::string());
        return std::nullopt;
    }
    std::size_t offset = 0;
    auto record = decodeHeldRecord(std::string_view(bytes).substr(0, HELD_HEADER_LIMIT), size, offset);
    if (!record) {
        reason = "held photo " + utf8(file) + " is not a whole record";
        return std::nullopt;
    }
    photo = bytes.substr(offset);
    return record;
}

} // namespace

PhotoHolding::PhotoHolding(fs::path folder) : m_folder(std::move(folder)) {}

void PhotoHolding::load()
{
    if (std::exchange(m_loaded, true) || m_folder.empty())
        return;
    std::error_code error;
    std::vector<Entry> found;
    for (fs::directory_iterator it(m_folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = utf8(it->path().filename());
        std::error_code ignored;
        if (!heldSequence(name) || !it->is_regular_file(ignored))
            continue;
        std::string head;
        std::size_t offset = 0;
        const std::uintmax_t size = it->file_size(ignored);
        std::optional<HeldPhotoRecord> record;
        if (!ignored && readBytes(it->path(), HELD_HEADER_LIMIT, head))
            record = decodeHeldRecord(head, size, offset);
        if (!record) {
            // Never removed: whatever it is, it may be someone's photo.
            log("held photo " + utf8(it->path()) + " cannot be read; left where it is");
            continue;
        }
        Entry entry;
        entry.sequence = record->sequence;
        entry.job = std::move(record->job);
        entry.file = it->path();
        entry.shownName = shownFileName(entry.job.name);
        entry.earlierRun = true;
        found.push_back(std::move(entry));
    }
    std::sort(found.begin(), found.end(), [](const Entry& a, const Entry& b) { return a.sequence < b.sequence; });
    for (Entry& entry : found) {
        m_nextSequence = std::max(m_nextSequence, entry.sequence + 1);
        m_entries.push_back(std::move(entry));
    }
    m_earlierRun = found.size();
    if (m_earlierRun)
        log(std::to_string(m_earlierRun) + " photos held by an earlier run found in " + utf8(m_folder));
}

StoreResult PhotoHolding::keep(StoreJob& job, const fs::path& receiveDirectory)
{
    load();
    if (job.kind != StoreJob::Kind::Photo)
        return store(job, m_stored);
    if (auto refused = refusal(job.name, job.photo))
        return *refused;
    if (!m_entries.empty())
        release(receiveDirectory);
    if (!m_entries.empty()) {
        StoreResult waiting;
        waiting.fileName = photoFileName(job.name.gbk);
        waiting.shownName = shownFileName(job.name);
        waiting.detail = "photos held before it still wait for " + m_failedDirectory;
        return hold(job, std::move(waiting));
    }
    StoreResult result = store(job, m_stored);
    if (!result.directoryFailed())
        return result;
    noteFailure(result, job.receiveDirectory);
    return hold(job, std::move(result));
}

bool PhotoHolding::retry(const fs::path& receiveDirectory)
{
    load();
    const HoldingState before = state();
    release(receiveDirectory);
    saveToDisk();
    return state() != before;
}

// Puts the job at the end of the line, on the disk if the holding folder
// takes it, else in memory.
StoreResult PhotoHolding::hold(StoreJob& job, StoreResult result)
{
    Entry entry;
    entry.sequence = m_nextSequence++;
    std::string photo = std::move(job.photo);
    entry.job = job;
    job.photo = std::move(photo);
    entry.shownName = result.shownName;
    if (writeRecord(entry, job.photo)) {
        result.status = StoreResult::Status::Held;
        log("photo " + std::to_string(job.count) + " (" + entry.shownName + ") held in " + utf8(entry.file)
            + ": " + result.detail);
    } else {
        entry.job.photo = job.photo;
        m_memoryBytes += entry.job.photo.size();
        result.status = StoreResult::Status::HeldInMemory;
        log("photo " + std::to_string(job.count) + " (" + entry.shownName
            + ") kept in memory only, the holding folder failed too: " + m_holdingFailure);
    }
    m_entries.push_back(std::move(entry));
    return result;
}

bool PhotoHolding::writeRecord(Entry& entry, std::string_view photo)
{
    if (m_folder.empty()) {
        m_holdingFailure = "there is no profile folder to hold photos in";
        return false;
    }
    std::error_code error;
    fs::create_directories(m_folder, error);
    if (!fs::is_directory(m_folder, error)) {
        m_holdingFailure = "cannot make " + utf8(m_folder) + (error ? ": " + error.message() : std::string());
        return false;
    }
    HeldPhotoRecord record;
    record.sequence = entry.sequence;
    record.job = entry.job;
    record.job.photo.clear();
    const fs::path file = m_folder / platform::pathFromUtf8(heldFileName(entry.sequence, entry.shownName));
    std::string reason;
    if (!platform::replaceFile(file, encodeHeldRecord(record, photo), &reason)) {
        m_holdingFailure = reason;
        return false;
    }
    entry.file = file;
    m_holdingFailure.clear();
    return true;
}

// Writes held photos, oldest first, up to the first the folder cannot take.
bool PhotoHolding::release(const fs::path& receiveDirectory)
{
    if (receiveDirectory.empty())
        return false;
    // A folder that is still away is seen without reading a record.
    std::error_code error;
    if (!m_entries.empty() && !fs::is_directory(receiveDirectory, error)) {
        StoreResult missing;
        missing.status = StoreResult::Status::FolderMissing;
        missing.detail = "receive directory missing: " + utf8(receiveDirectory);
        noteFailure(missing, receiveDirectory);
        return false;
    }
    bool changed = false;
    while (!m_entries.empty() && releaseOne(m_entries.front(), receiveDirectory)) {
        m_entries.pop_front();
        changed = true;
    }
    if (m_entries.empty()) {
        m_cause = StoreResult::Status::Stored;
        m_failedDirectory.clear();
    }
    return changed;
}

// True when the entry is done with: stored, or set aside for its name.
bool PhotoHolding::releaseOne(Entry& entry, const fs::path& receiveDirectory)
{
    const bool inMemory = entry.file.empty();
    std::string photo = std::move(entry.job.photo); // empty for a photo on the disk
    StoreJob job = entry.job; // every field the naming decided
    job.receiveDirectory = receiveDirectory;
    job.photo = std::move(photo);
    std::string reason;
    if (!inMemory && !readRecord(entry.file, job.photo, reason)) {
        log(reason);
        return false;
    }
    const StoreResult result = store(job, m_stored);
    if (!result.ok()) {
        if (inMemory)
            entry.job.photo = std::move(job.photo);
        if (result.directoryFailed()) {
            noteFailure(result, receiveDirectory);
            return false;
        }
        setAside(entry, result);
        return true;
    }
    // Until its record is gone the photo stays first in the line: written
    // again at the next look, it can never come after a newer photo.
    if (!inMemory && !platform::removeFile(entry.file, &reason)) {
        log("held photo written, but its record stays until it can be removed: " + reason);
        return false;
    }
    if (inMemory)
        m_memoryBytes -= job.photo.size();
    ++m_written;
    if (entry.earlierRun)
        ++m_earlierRunWritten;
    log("held photo " + std::to_string(entry.job.count) + " (" + result.shownName + ") written into "
        + utf8(receiveDirectory));
    return true;
}

// A held photo the receive folder refuses for its name stays in the holding
// folder, out of the line, for staff to look at.
void PhotoHolding::setAside(const Entry& entry, const StoreResult& result)
{
    std::error_code error;
    fs::path file = entry.file;
    if (entry.file.empty()) {
        Entry onDisk = entry;
        if (writeRecord(onDisk, entry.job.photo))
            file = onDisk.file;
        m_memoryBytes -= entry.job.photo.size();
    }
    fs::path aside = file;
    aside += ".refused";
    if (!file.empty())
        fs::rename(file, aside, error);
    log("held photo " + std::to_string(entry.job.count) + " refused by the receive folder (" + result.detail
        + "); set aside as " + (file.empty() ? std::string("nothing, it is lost") : utf8(aside)));
}

// Photos kept in memory go to the holding folder, in their order, as far as
// it takes them.
bool PhotoHolding::saveToDisk()
{
    bool saved = false;
    for (Entry& entry : m_entries) {
        if (!entry.file.empty())
            continue;
        if (!writeRecord(entry, entry.job.photo))
            break;
        m_memoryBytes -= entry.job.photo.size();
        entry.job.photo = std::string();
        log("photo " + std::to_string(entry.job.count) + " (" + entry.shownName + ") now held in "
            + utf8(entry.file));
        saved = true;
    }
    return saved;
}

void PhotoHolding::noteFailure(const StoreResult& result, const fs::path& directory)
{
    const std::string folder = utf8(directory);
    if (result.status != m_cause || folder != m_failedDirectory)
        log("the receive folder " + folder + " takes no photos: " + result.detail);
    m_cause = result.status;
    m_failedDirectory = folder;
}

HoldingState PhotoHolding::state() const
{
    HoldingState out;
    out.held = m_entries.size();
    for (const Entry& entry : m_entries) {
        if (entry.file.empty())
            ++out.inMemory;
        if (out.names.size() < HoldingState::NAMES_LISTED)
            out.names.push_back(entry.shownName);
    }
    out.memoryBytes = m_memoryBytes;
    out.cause = m_entries.empty() ? StoreResult::Status::Stored : m_cause;
    out.failedDirectory = m_entries.empty() ? std::string() : m_failedDirectory;
    out.holdingFailure = out.inMemory ? m_holdingFailure : std::string();
    out.earlierRun = m_earlierRun;
    out.earlierRunWritten = m_earlierRunWritten;
    out.written = m_written;
    return out;
}

std::vector<std::string> PhotoHolding::takeLog()
{
    return std::exchange(m_log, {});
}

} // namespace velmora::link
