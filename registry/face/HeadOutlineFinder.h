#pragma once

// Where the student's hair ends, measured against the background: the face
// box says little about how much hair a child has, so the top and the sides
// of the head are taken from the pixels where the background allows it, and
// from the box only where it does not.

#include "registry/face/FramingRule.h"
#include "registry/face/Picture.h"

namespace velmora::registry {

// The background's colour is taken above the head and beside it at
// forehead height, from the parts of those patches inside the picture
// (none, or a mixed lot: nothing is measured). Then, in the picture's
// pixels:
// - the top: looking down a band a little narrower than the face box, from
//   1.3 box sides above the box to 0.3 above it, the first of a few lines
//   in a row where a quarter of the band differs from the background;
//   AtTopEdge when the hair fills the band up to the picture's first line;
// - the sides: on the lines from 12 % to 40 % of the head's height below
//   its top, where the background begins left and right of the face;
//   found when half those lines show both edges, 1.1 to 2.4 box sides
//   apart, around a centre within a quarter side of the box's.
HeadOutline findHeadOutline(const PictureView& picture, const Area& face);

} // namespace velmora::registry
