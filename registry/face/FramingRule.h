#pragma once

// The framing rule: from the student's face box to the head, and from the
// head to the part of the photo the registry gets. All in pixels of the
// upright photo.
//
// The head (top of the hair to the chin) from the detector's face box of
// side s, as measured finely by the face search (calibrated on the
// astronaut portrait, see docs/photo-checks.md):
//   top    = the top of the hair where it was measured against the
//            background, else box top - 0.67 s
//   chin   = box top + 1.06 s
//   centre = midway between the sides of the hair where they were
//            measured, else box centre + 0.024 s
// so a head is about 1.73 box sides when its top is not measured.
//
// Then one row decides, the first that applies:
//
// | # | the photo                                        | frame                                         | status   |
// |---|--------------------------------------------------|-----------------------------------------------|----------|
// | 1 | the hair reaches the photo's top edge            | none (for export anyway: row 6's)             | HeadCut  |
// | 2 | the head at 0.6 gives a frame below the preset   | none: it would have to be enlarged            | TooSmall |
// | 3 | the ideal frame fits in the photo and reaches the preset | head 2/3 of its height, 1/10 of it above the head, head centred across it | Framed |
// | 4 | the ideal frame is smaller than the preset       | the preset's height, the head's share lowered (not below 0.6) | Framed |
// | 5 | the ideal frame crosses an edge                  | the nearest share in 0.6-0.75 and margin above in 0.06-0.14 that fit, the head centred or at most 2 % of the width off | Framed |
// | 6 | nothing fits                                     | none (for export anyway: the ideal frame moved inside the photo, if it reaches the preset) | HeadCut |
//
// The frame always has the preset's proportions and lies inside the photo:
// no pixel is made up, nothing is stretched, and it is never smaller than
// the preset (the export only ever shrinks). Among the frames that fit,
// the one whose head share is nearest 2/3 wins, then the margin nearest
// 1/10; of two shares equally near, the lower (the larger frame).

#include "registry/face/Picture.h"

#include <optional>

namespace velmora::registry {

// The size of the registry's picture, pixels (> 0 each).
struct FrameShape {
    int width = 358;
    int height = 441;
};

// A rectangle of whole pixels.
struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const PixelRect&) const = default;
};

struct HeadBox {
    double top = 0;     // the top of the hair
    double chin = 0;
    double centreX = 0; // across

    double height() const { return chin - top; }
};

// What is known of the top of the head besides the face box.
enum class HairTop {
    Unknown,   // not measured (a busy background, or nothing clear)
    Measured,  // found against the background
    AtTopEdge, // the hair runs into the photo's top edge: the head is cut
};

// The head's outline as measured against the background.
struct HeadOutline {
    HairTop hair = HairTop::Unknown;
    double top = 0;          // the first line of hair, when Measured
    bool sidesFound = false;
    double centreX = 0;      // midway between the sides, when found
};

struct FramingInput {
    Area face;            // the student's face box
    HeadOutline outline;
    int photoWidth = 0;   // the upright photo, pixels
    int photoHeight = 0;
    FrameShape shape;
};

enum class FramingStatus { Framed, HeadCut, TooSmall };

struct Framing {
    FramingStatus status = FramingStatus::HeadCut;
    HeadBox head;
    // Framed: the frame. HeadCut: the frame to export the photo with anyway,
    // when one reaches the preset. TooSmall: none.
    std::optional<PixelRect> frame;
    double headShare = 0;  // head height / frame height; 0 without a frame
    double topMargin = 0;  // (head top - frame top) / frame height
};

// The head the face box (and the outline where measured) stands for.
HeadBox headOf(const Area& face, const HeadOutline& outline);

// The framing rule above. A photo or shape without pixels, or an empty face
// box, gives HeadCut without a frame.
Framing frameHead(const FramingInput& input);

} // namespace velmora::registry
