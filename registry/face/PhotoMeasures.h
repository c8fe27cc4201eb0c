#pragma once

// The figures of the face and background checks, each taken on the part of
// the photo it concerns as the registry will see it: the frame brought to
// the registry's size (or left at the decoded copy's, where that is the
// coarser), so sharpness and background detail mean the same for a photo
// of any size.
//
// - the middle of the face (box sides 0.2 to 0.8 across, 0.15 to 0.9 down):
//   mean luma, the share at 250 or more, and sharpness: at half that size
//   (where sensor noise averages out while a blur of two of the registry's
//   pixels still shows), the variance of its Laplacian over the variance of
//   its luma, which neither brightness nor contrast changes, only detail;
// - the background: the frame above the head (to 3 % of the head above the
//   hair) and beside the top quarter of the head (from half a head height
//   off its centre to the frame's edge): the spread and neighbour steps of
//   its luma, and its mean colour from the decoded copy.

#include "registry/face/FramingRule.h"
#include "registry/face/Picture.h"
#include "registry/face/PhotoChecks.h"

namespace velmora::registry {

// Fills the face and background figures of `figures` for the `frame` (all
// in `picture`'s pixels; `grey` is its luma). Leaves them as they are for
// an empty frame.
void measurePhoto(const PictureView& picture, const GreyPicture& grey, const Area& face, const HeadBox& head,
                  const Area& frame, const FrameShape& shape, PhotoFigures& figures);

} // namespace velmora::registry
