#pragma once

// One stored photo judged for the student-registry upload: its faces
// found, the student's head framed, the checks of PhotoChecks.h decided,
// from the photo's decoded copy. The Qt edge (AssessPhoto.h) decodes; this
// is the part a test drives with pixels.

#include "registry/face/FaceDetector.h"
#include "registry/face/FramingRule.h"
#include "registry/face/PhotoChecks.h"
#include "registry/face/Picture.h"

#include <optional>

namespace velmora::registry {

struct PhotoAssessment {
    PhotoCheck verdict = PhotoCheck::Incomplete;
    int uprightWidth = 0;  // the photo turned upright by its orientation tag, pixels
    int uprightHeight = 0;
    // In the upright photo's pixels, when a face was found:
    std::optional<Area> face;     // the student's face box
    std::optional<HeadBox> head;  // the head it stands for
    std::optional<PixelRect> frame; // the part to export (see Framing::frame)
    PhotoFigures figures;
};

// Judges a photo from `copy`, the whole photo upright at any scale (the
// same in both directions) whose full size is `uprightWidth` ×
// `uprightHeight`; `wholeFile` is whether its bytes end as they should
// (PhotoEnd). The copy should be at least 448 lines high for every head down
// to 12 % of the height to be found. Safe on several threads at once.
PhotoAssessment assessPicture(const PictureView& copy, int uprightWidth, int uprightHeight, bool wholeFile,
                              const FrameShape& shape);

// A photo that could not be decoded: Incomplete, nothing found.
PhotoAssessment unreadablePhoto();

} // namespace velmora::registry
