#pragma once

// Which photo of the receive folder is whose. The rules, tried in this order
// for every photo; the first that finds a student decides:
//  1. its name (without extension) is a resident ID number: the student
//     with that number ("x" and "X" alike), whatever folder it is in;
//  2. it lies in 无身份证照片 and is named <学校标识码>_<班级编号>_<姓名>:
//     that student without an ID-card number;
//  3. it is named by a student's name: that student when the name belongs
//     to one student only, or to one student of the class the photo's
//     folder is named by.
// A photo that several students could claim by its rule is paired with none
// of them and reported; any other photo pairs with nobody. Nothing is
// guessed: no near names, no names found inside longer ones.

#include "registry/ReceiveFolder.h"
#include "registry/Student.h"

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace velmora::registry {

struct ContestedPhoto {
    std::size_t photo = 0;              // index into PairingResult::photos
    std::vector<std::size_t> students;  // indices into PairingResult::students
};

struct PairingResult {
    std::vector<Student> students;                  // in roster order, each once
    // Roster rows that repeat an earlier student's four fields (a roster
    // pasted twice), left out of `students`.
    std::size_t repeatedRows = 0;
    std::vector<PhotoFile> photos;
    // Per student, the indices of its photos, newest by modification time
    // first.
    std::vector<std::vector<std::size_t>> photosOf;
    std::vector<std::size_t> unmatched;             // photos of nobody
    std::vector<ContestedPhoto> contested;          // photos several could claim
    std::vector<std::filesystem::path> staleTemporaries;

    std::size_t withPhoto() const;
    std::size_t missing() const { return students.size() - withPhoto(); }
    // Indices of students with more than one photo.
    std::vector<std::size_t> withSeveral() const;
};

// Pairs the photos of `folder` with `students`. A student whose four fields
// all equal an earlier student's is the same row once more: it is counted
// in repeatedRows and left out, rather than making every photo of that
// student one that two could claim.
PairingResult pairPhotos(std::vector<Student> students, FolderContents folder);

} // namespace velmora::registry

namespace velmora::registry {

// The student one photo belongs to, by the rules above, as 名单核对 would
// pair it: the photo named `stem` (its file name without the extension,
// UTF-8) in the folder `folder` (the name of the folder holding it, "" at
// the top). nullopt when it pairs with nobody or several could claim it.
std::optional<Student> studentOfPhoto(std::vector<Student> students, std::string_view stem,
                                      std::string_view folder);

} // namespace velmora::registry
