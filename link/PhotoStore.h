#pragma once

// Where a received photo goes and how it is written. Photo names come from
// the phone as GBK text with "\" between directory levels; a name holding
// "_" (a student without an ID-card number) is filed under "无身份证照片".
// Nothing is ever written outside the receive directory, and a photo already
// stored is only ever replaced whole.

#include "link/PhotoName.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace velmora::link {

struct StoreResult {
    enum class Status {
        Stored,       // the file now holds the bytes
        AlreadyThere, // an empty list entry found a file in its place and kept it
        NoName,       // the name is empty or names a directory: nothing written
        EmptyPhoto,   // no bytes to store: an earlier photo of that name is kept
        UnsafeName,   // the name would leave the receive directory: nothing written
        FolderMissing, // the receive directory is not there (a stick pulled, a share gone)
        WriteFailed,  // a directory or the file could not be written
        // Set by the photo holding (PhotoHolding.h), never by the store:
        Held,         // not in the receive directory yet: waits in the holding folder
        HeldInMemory, // not in the receive directory yet, and the holding folder failed too
    };

    Status status = Status::NoName;
    // The file-name part of the name as GBK text: what follows its last "\",
    // or the whole name.
    std::string fileName;
    // The same part as the window shows it, UTF-8, with the name's own
    // characters where GBK lacks some, in the form it is stored under
    // (WindowsNames.h); as sent when the name is refused.
    std::string shownName;
    // For the log: the path tried and the reason, UTF-8; empty when stored.
    std::string detail;
    // Where a stored photo went; empty for anything else.
    std::filesystem::path target;
    // The photo, with no name of its own, went beside the photo of its name
    // stored in this run (StoreJob::besideStored), as <name>-N.
    bool storedBeside = false;

    bool ok() const { return status == Status::Stored || status == Status::AlreadyThere; }
    // Whether the photo waits to be written later rather than being lost.
    bool held() const { return status == Status::Held || status == Status::HeldInMemory; }
    // Whether the receive directory, not the name, kept the photo out: the
    // photo is worth holding until the directory can take it.
    bool directoryFailed() const { return status == Status::FolderMissing || status == Status::WriteFailed; }
};

// The files photos went to in this run of the program, as store() notes
// them down, each path lexically normal.
using StoredThisRun = std::set<std::filesystem::path>;

// The GBK name of the folder for photos whose name holds "_".
extern const std::string NO_ID_FOLDER_GBK;

// The file-name part of a GBK photo name: the bytes after its last "\" found
// on a character boundary, or the whole name when it has none.
std::string photoFileName(std::string_view gbkName);

// Whether a GBK photo name stays inside the receive directory: no level (split
// at "\" and at "/", which Windows takes as a separator too) is made only of
// dots and blanks (".", "..", "..." and the like), no level holds ":" (a drive
// letter or an alternate stream), no byte is zero, and the last level is not
// empty. Empty levels before it collapse ("a\\b.jpg" is stored as "a\b.jpg",
// "\b.jpg" as "b.jpg"): they lead nowhere. An empty name is not safe.
bool isSafePhotoName(std::string_view gbkName);

// What storePhoto would refuse `name` and `photo` for before it looks at any
// folder: NoName, EmptyPhoto or UnsafeName, with the names filled in as a
// store fills them; nullopt for a photo it would try to write.
std::optional<StoreResult> refusal(const PhotoName& name, std::string_view photo);

// The file-name part of `name` as it is written, UTF-8 (the form 标签11
// shows); for a name that is refused, the part as sent.
std::string shownFileName(const PhotoName& name);

// Stores `photo` under the GBK name `gbkName` in `receiveDirectory`, which must
// exist already: a directory that is missing is most likely an unplugged drive
// or a mistyped path, and photos are not scattered into a new one.
//  - Directory part (the name up to its last "\"): made under the receive
//    directory, parents included.
//  - A name holding "_" goes to receive directory / 无身份证照片 / name, with
//    the directories it needs made.
//  - The bytes go to a temporary file in the target's directory, which is
//    flushed, closed and renamed over the target; on any failure the temporary
//    file is removed and an earlier photo of that name stays as it was.
// Returns the outcome; never throws except std::bad_alloc.
StoreResult storePhoto(const std::filesystem::path& receiveDirectory, std::string_view gbkName,
                       std::string_view photo);

// The name list's entry `entry` of the photo name `gbkName`: the directory
// part of `gbkName` is made as for a photo, then an empty file is created at
// the path the photo rules give for `entry` (under 无身份证照片 when `gbkName`
// holds "_"), but only when nothing exists there yet: a stored photo is never
// replaced by it. Returns Stored, AlreadyThere or why nothing was written.
StoreResult storeListEntry(const std::filesystem::path& receiveDirectory,
                           std::string_view gbkName, std::string_view entry);

// The same for a name that may hold characters GBK lacks: such a name is
// filed under its own characters (its `unicode` form, split and checked by
// the same rules), any other exactly as its GBK text.
StoreResult storePhoto(const std::filesystem::path& receiveDirectory, const PhotoName& name,
                       std::string_view photo);
// The same, but when the target is one of `besideStoredOf` (when given), the
// photo goes beside it (see store()).
StoreResult storePhoto(const std::filesystem::path& receiveDirectory, const PhotoName& name,
                       std::string_view photo, StoredThisRun* besideStoredOf);
StoreResult storeListEntry(const std::filesystem::path& receiveDirectory, const PhotoName& name,
                           const PhotoName& entry);

// One thing to write into the receive directory, made by the channels and
// written in order by the photo writer.
struct StoreJob {
    enum class Kind { Photo, ListEntry };
    Kind kind = Kind::Photo;
    std::uint64_t count = 0; // a photo's count, as the window shows it
    std::filesystem::path receiveDirectory; // as it was when the photo completed
    PhotoName name;   // the photo's name; for a list entry the current photo name
    PhotoName entry;  // a list entry's own name
    std::string photo;
    // The photo came with no name of its own and took the name of the
    // phone's photo before it: it never replaces a photo stored under that
    // name in this run, but is stored beside it (see store()).
    bool besideStored = false;
};

// Writes `job`, a photo as storePhoto() does and a list entry as
// storeListEntry() does; a photo stored is noted in `stored`. Whether a
// photo goes over the file of its name or beside it:
//
// | the photo                              | file of its name     | written          |
// |----------------------------------------|----------------------|------------------|
// | came with a name of its own            | any                  | over it          |
// | took the phone's current name          | not stored this run  | over it, or new  |
// |   (StoreJob::besideStored)             | (none, an older day) |                  |
// | took the phone's current name          | stored this run      | beside it        |
//
// Beside it: the first of <stem>-2<extension>, -3 … of the stored file
// name that names nothing on disk, in the same folder (无身份证照片
// included), in the stored form of the name (WindowsNames.h): a photo that
// may belong to another student is never written over one, and 名单核对
// shows it as a photo of nobody. Returns the outcome, `target` and
// `shownName` telling where the photo went; never throws except
// std::bad_alloc.
StoreResult store(const StoreJob& job, StoredThisRun& stored);
// The same with a run of its own: nothing goes beside.
StoreResult store(const StoreJob& job);

} // namespace velmora::link
