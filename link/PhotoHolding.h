#pragma once

// Photos the receive folder cannot take (a USB stick pulled, a school's share
// dropped, the folder moved, a disk full) wait in a holding folder on the
// PC's own disk until it can, so that nothing is lost meanwhile. Each is
// written there at once, whole and flushed as a stored photo is, so that a
// crash, a kill or a power cut loses none, and the next run finds them
// again. They keep their names and their order: they go to the receive
// folder oldest first, and a newer photo never goes before them, since a
// later photo of one name must replace an earlier one, never the reverse.
//
// Where a photo goes (keep()), by what is held already, what the receive
// folder says and what the holding folder says:
//
// | photos held   | receive folder           | holding folder | the photo              | status       |
// |---------------|--------------------------|----------------|------------------------|--------------|
// | none          | takes it                 | -              | in the receive folder  | Stored       |
// | -             | refuses the name / empty | -              | nowhere, as before     | that refusal |
// | none          | missing or write failed  | takes it       | in the holding folder  | Held         |
// | none          | missing or write failed  | fails          | kept in memory         | HeldInMemory |
// | all written   | (as the rows with none)  |                |                        |              |
// | some left     | not asked: still failing | takes it       | held behind them       | Held         |
// | some left     | not asked: still failing | fails          | in memory behind them  | HeldInMemory |
//
// "All written" and "some left": before each photo the held ones are written
// into the receive folder, oldest first, up to the first it cannot take. A
// held photo that the receive folder refuses for its name (never the case
// for a name it once tried) is set aside in the holding folder, renamed to
// end with ".refused", and the line goes on. Photos in memory are lost if
// the program ends: they go to the holding folder as soon as it takes them.
//
// Not thread-safe: the photo writer's thread alone uses it.

#include "link/HeldPhotoRecord.h"
#include "link/PhotoStore.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

namespace velmora::link {

// What the window shows of the holding.
struct HoldingState {
    std::size_t held = 0;        // photos waiting, on the disk and in memory
    std::size_t inMemory = 0;    // of them, those the holding folder did not take
    std::size_t memoryBytes = 0; // the bytes of those
    // The file names of the held photos as they will be stored (UTF-8),
    // oldest first, at most NAMES_LISTED of them.
    std::vector<std::string> names;
    // Why the receive folder took no photo: FolderMissing or WriteFailed
    // once it failed; Stored while none failed yet (photos of an earlier
    // run not tried yet).
    StoreResult::Status cause = StoreResult::Status::Stored;
    std::string failedDirectory; // UTF-8, the folder that failed
    std::string holdingFailure;  // why the holding folder took none, "" while it does
    std::size_t earlierRun = 0;        // photos an earlier run left held
    std::size_t earlierRunWritten = 0; // of them, written into the receive folder so far
    std::size_t written = 0;           // held photos written into the receive folder so far

    static constexpr std::size_t NAMES_LISTED = 200;
    bool operator==(const HoldingState&) const = default;
};

class PhotoHolding {
public:
    // `folder`: the holding folder (platform/HoldingFolder.h), made when the
    // first photo is held; an empty path means there is none, and photos
    // the receive folder cannot take are kept in memory.
    explicit PhotoHolding(std::filesystem::path folder);

    // Takes in the records an earlier run left in the holding folder, once;
    // called by keep() and retry() themselves. Records that cannot be read
    // are left where they are and logged.
    void load();

    // Stores the photo job `job` by the table above; list entries are
    // stored as they are, never held. `receiveDirectory`: where the held
    // photos go now (the directory box's text; empty: nowhere yet). Returns
    // the store's result, or one with status Held or HeldInMemory and the
    // receive folder's reason in `detail`. The job's photo bytes stay in it.
    StoreResult keep(StoreJob& job, const std::filesystem::path& receiveDirectory);

    // Looks again: writes the held photos into `receiveDirectory` as far as
    // it takes them, then the photos in memory into the holding folder.
    // Returns whether anything changed.
    bool retry(const std::filesystem::path& receiveDirectory);

    HoldingState state() const;
    bool empty() const { return m_entries.empty(); }
    std::size_t memoryBytes() const { return m_memoryBytes; }
    const std::filesystem::path& folder() const { return m_folder; }

    // What happened that the log should say (UTF-8 lines), since the last
    // call.
    std::vector<std::string> takeLog();

private:
    struct Entry {
        std::uint64_t sequence = 0;
        StoreJob job;                // the photo's bytes only while in memory
        std::filesystem::path file;  // the record; empty while in memory
        std::string shownName;
        bool earlierRun = false;
    };

    StoreResult hold(StoreJob& job, StoreResult result);
    bool writeRecord(Entry& entry, std::string_view photo);
    bool release(const std::filesystem::path& receiveDirectory);
    bool releaseOne(Entry& entry, const std::filesystem::path& receiveDirectory);
    void setAside(const Entry& entry, const StoreResult& result);
    bool saveToDisk();
    void noteFailure(const StoreResult& result, const std::filesystem::path& directory);
    void log(std::string line) { m_log.push_back(std::move(line)); }

    std::filesystem::path m_folder;
    // The photos stored in this run, held ones included: a photo with no
    // name of its own goes beside them (StoreJob::besideStored).
    StoredThisRun m_stored;
    bool m_loaded = false;
    std::uint64_t m_nextSequence = 1;
    std::deque<Entry> m_entries;
    std::size_t m_memoryBytes = 0;
    StoreResult::Status m_cause = StoreResult::Status::Stored;
    std::string m_failedDirectory;
    std::string m_holdingFailure;
    std::size_t m_earlierRun = 0;
    std::size_t m_earlierRunWritten = 0;
    std::size_t m_written = 0;
    std::vector<std::string> m_log;
};

} // namespace velmora::link
