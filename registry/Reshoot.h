#pragma once

// Which students are to reshoot: the students whose photo that counts fails
// one of the registry's checks. Which photo counts, and what follows:
//
//  | photos of the student | photo that counts              | verdict of it | student is     |
//  |-----------------------|--------------------------------|---------------|----------------|
//  | none                  | none                           | -             | missing (缺)   |
//  | one                   | that one                       | passes        | complete       |
//  | one                   | that one                       | fails: reason | to reshoot     |
//  | several               | newest by modification time    | passes        | complete       |
//  | several               | newest by modification time    | fails: reason | to reshoot     |
//  | several, same time    | first by name (relative path)  | as above      | as above       |
//  | any                   | as above                       | not yet known | pending        |
//
// A retake is taken after the photo it replaces, so a later photo that
// passes clears the entry, and a later one that fails flags the student
// even when an older one passed: the export sends the newest too. A student
// to reshoot has a photo, so counts in 已有照片 as well.

#include "registry/Pairing.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velmora::registry {

// The photo of `student` that counts (an index into pairing.photos), or
// nullopt for a student without a photo.
std::optional<std::size_t> countingPhoto(const PairingResult& pairing, std::size_t student);

// The verdict of one photo: "" when it passes, else the check's reason
// ("照片模糊" …); nullopt while it is not yet known.
using PhotoVerdict = std::function<std::optional<std::string>(const PhotoFile& photo)>;

struct ReshootStudent {
    std::size_t student = 0;  // index into pairing.students
    std::string reason;
};

struct ReshootFindings {
    std::vector<ReshootStudent> students;  // class by class, roster order within a class
    std::size_t judged = 0;                // counting photos with a verdict
    std::size_t toJudge = 0;               // counting photos in all
    bool complete() const { return judged == toJudge; }
};

ReshootFindings findReshoots(const PairingResult& pairing, const PhotoVerdict& verdict);

} // namespace velmora::registry
