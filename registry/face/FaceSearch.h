#pragma once

// The faces of a roll photo, found coarse to fine so that a typical photo
// costs little: first on a copy 448 lines high, where a head of about 30 %
// of the height or more is found; on a finer copy only for the sizes that
// pass could not see: smaller students, and second faces down to 60 % of
// the student's. The student's box is then measured again at finer steps
// of scale than the detector's own (1.2), which would otherwise put the
// head up to a tenth off its size.

#include "registry/face/FaceDetector.h"
#include "registry/face/Picture.h"

#include <optional>

namespace velmora::registry {

// The smallest head searched for, as a share of the photo's height; one that
// fills the photo is the largest.
inline constexpr double SMALLEST_HEAD_SHARE = 0.12;
// A face the student may be: at least this score.
inline constexpr double STUDENT_SCORE = 0.0;
// Another person: a face of at least this share of the student's box side
// scoring at least this.
inline constexpr double SECOND_FACE_SIZE = 0.6;
inline constexpr double SECOND_FACE_SCORE = 0.25;

struct FaceSearchResult {
    std::optional<FaceBox> student; // the strongest face, its box measured finely
    std::optional<FaceBox> second;  // the strongest other person's face, when there is one
    int passes = 0;                 // detector passes over the whole photo: 1 or 2
};

// Searches `picture`, the whole upright photo in grey at any scale at
// least 448 lines high for the coarse pass to see what it should (smaller
// pictures are searched as they are). Boxes are in `picture`'s pixels. Safe
// on several threads at once: each search borrows a detector of its own.
FaceSearchResult searchFaces(const GreyPicture& picture);

} // namespace velmora::registry
