#pragma once

// One held photo as a file of the holding folder: a few lines of text that
// say what the photo is (its name as the naming decided it, its count, the
// folder it was meant for), a blank line, then the photo's bytes unchanged.
// The file's name begins with the photo's place in the line, 20 digits so
// that the names sort in that order, then the photo's file name for staff
// who look into the folder, and ends with ".held". Values are hex-encoded
// bytes, so that no name, whatever it holds, can break a line.

#include "link/PhotoStore.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::link {

struct HeldPhotoRecord {
    std::uint64_t sequence = 0; // place in the line, from 1
    // A photo job; `receiveDirectory` is where it was meant to go.
    StoreJob job;
    std::uint64_t photoBytes = 0; // the photo's length, checked on reading
};

// The first line of every record.
extern const std::string_view HELD_RECORD_MAGIC;
// Records are read with at most this much text before the photo.
constexpr std::size_t HELD_HEADER_LIMIT = 64 * 1024;

// The record's file name: the sequence as 20 digits, a blank, at most 80
// bytes of `shownName` (UTF-8, cut on a character boundary), ".held".
std::string heldFileName(std::uint64_t sequence, std::string_view shownName);
// The sequence of a record's file name; nullopt for a name that is not one
// (the folder's temporary files, anything staff put there).
std::optional<std::uint64_t> heldSequence(std::string_view fileName);

// The file's bytes for `record` with `photo`; `record.photoBytes` is not
// read: the photo's own length is written.
std::string encodeHeldRecord(const HeldPhotoRecord& record, std::string_view photo);

// Reads the text before the photo from the first bytes of a record file,
// `fileSize` bytes long in all. Returns the record with the photo's offset
// in `photoOffset`, or nullopt when the text is not a record of ours or
// the file is not as long as the record says (cut short, or grown).
std::optional<HeldPhotoRecord> decodeHeldRecord(std::string_view head, std::uint64_t fileSize,
                                                std::size_t& photoOffset);

} // namespace velmora::link
