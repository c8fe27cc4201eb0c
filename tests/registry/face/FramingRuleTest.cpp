// The framing rule, one row per case of its table (FramingRule.h): face
// boxes and measured outlines in, status and frame out. Each expected frame
// is worked out by hand from the rule in the row's comment (head = hair top
// to box top + 1.06 box sides; frame height = head / share, width = height ×
// 358/441, left = centre - width/2, top = hair top - margin × height, then
// rounded), so a change of the rule or its factors shows here.

#include "registry/face/FramingRule.h"

#include <gtest/gtest.h>

#include <optional>

namespace velmora::registry {
namespace {

HeadOutline measured(double top, double centreX)
{
    return {HairTop::Measured, top, true, centreX};
}

TEST(FramingRuleTest, Table)
{
    struct Row {
        const char* name;
        Area face;
        HeadOutline outline;
        int photoWidth;
        int photoHeight;
        FrameShape shape;
        FramingStatus status;
        std::optional<PixelRect> frame;
        double share; // 0: not checked
    };
    const HeadOutline unknown{};
    const HeadOutline atTop{HairTop::AtTopEdge, 0, false, 0};
    const Row rows[] = {
        // 3: head 470..812 (342), share 2/3: height 513, width 416.45, left
        // 500 - 208.2, top 470 - 51.3.
        {"ideal frame", {400, 600, 200, 200}, measured(470, 500), 1500, 2000, {}, FramingStatus::Framed,
         PixelRect{292, 419, 416, 513}, 2.0 / 3},
        // 3, outline unknown: top 600 - 0.67 × 200 = 466, centre 500 + 4.8,
        // head 346: height 519, width 421.3, left 504.8 - 210.7, top 466 - 51.9.
        {"from the box alone", {400, 600, 200, 200}, unknown, 1500, 2000, {}, FramingStatus::Framed,
         PixelRect{294, 414, 421, 519}, 2.0 / 3},
        // 1: the hair runs into the top edge; for an export anyway the ideal
        // frame (519 high) moved down to the top.
        {"hair at the top edge", {400, 100, 200, 200}, atTop, 1500, 2000, {}, FramingStatus::HeadCut,
         PixelRect{294, 0, 421, 519}, 0},
        // 2: head 120..327.2 (207.2) needs 345 lines even at 0.6.
        {"too small for the preset", {240, 200, 120, 120}, measured(120, 300), 600, 800, {},
         FramingStatus::TooSmall, std::nullopt, 0},
        // 4: head 380..669.6 (289.6) gives 434 lines at 2/3; the first share
        // below it that reaches 441 lines is 0.6567 (441.02 lines).
        {"grown to the preset", {420, 500, 160, 160}, measured(380, 500), 1200, 1600, {}, FramingStatus::Framed,
         PixelRect{321, 336, 358, 441}, 0.65667},
        // 5: centre 200 from the right edge: the ideal frame (416.45 wide)
        // overshoots by 8.2, under 2 % of its width: moved in, not shrunk.
        {"a little near the right edge", {700, 600, 200, 200}, measured(470, 800), 1000, 1500, {},
         FramingStatus::Framed, PixelRect{584, 419, 416, 513}, 2.0 / 3},
        // 5: centre 190 from the right edge: half the width less 2 % of it
        // must stay within 190, so width within 395.8, height within 487.6:
        // share 0.7017 (487.4 lines), moved in by 7.8.
        {"near the right edge", {710, 600, 200, 200}, measured(470, 810), 1000, 1500, {}, FramingStatus::Framed,
         PixelRect{604, 421, 395, 487}, 0.70167},
        // 5: hair 30 lines below the top: share 2/3 (498 lines) with the
        // margin cut to 30/498 = 0.06.
        {"near the top edge", {600, 150, 200, 200}, measured(30, 700), 1500, 2000, {}, FramingStatus::Framed,
         PixelRect{498, 0, 404, 498}, 2.0 / 3},
        // 6: hair 20 lines below the top: a margin of 0.06 needs a frame of
        // 333 lines at most, below the head's 342; moved inside for export.
        {"too near the top edge", {600, 150, 200, 200}, measured(20, 700), 1500, 2000, {}, FramingStatus::HeadCut,
         PixelRect{492, 0, 416, 513}, 0},
        // 5: chin 88 lines above the bottom of a 700-line photo: with the
        // margin up to 0.14 the frame may be 500 lines, share 0.6847
        // (499.5 lines), margin 0.139.
        {"near the bottom edge", {400, 400, 200, 200}, measured(270, 500), 1000, 700, {}, FramingStatus::Framed,
         PixelRect{297, 200, 406, 500}, 0.68467},
        // 6: a 360-pixel-wide photo holds at most 443.5 lines of frame, but
        // share 0.75 needs 456: cut; exported anyway as wide as the photo.
        {"photo too narrow", {80, 600, 200, 200}, measured(470, 180), 360, 2000, {}, FramingStatus::HeadCut,
         PixelRect{0, 426, 360, 443}, 0},
        // 3: a photo already framed to the preset: head 44.1..338.1 (294) is
        // exactly 2/3 of 441 with a tenth above it.
        {"already the preset", {89, 147.3, 180, 180}, measured(44.1, 179), 358, 441, {}, FramingStatus::Framed,
         PixelRect{0, 0, 358, 441}, 2.0 / 3},
        // 5: the same photo measured with a head of 311.6 lines, 2 right of
        // the middle: only share 311.6/441 = 0.7066 makes a frame of the
        // preset's height inside it, moved in by the 2.
        {"already the preset, measured a little off", {91, 152.8, 180, 180}, measured(32, 181), 358, 441, {},
         FramingStatus::Framed, PixelRect{0, 0, 358, 441}, 0.70658},
        // 3, 自定义 300 × 400: width 513 × 0.75 = 384.75, left 500 - 192.4.
        {"own preset", {400, 600, 200, 200}, measured(470, 500), 1500, 2000, {300, 400}, FramingStatus::Framed,
         PixelRect{308, 419, 385, 513}, 2.0 / 3},
        {"no face box", {0, 0, 0, 0}, unknown, 1500, 2000, {}, FramingStatus::HeadCut, std::nullopt, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Framing framing = frameHead({row.face, row.outline, row.photoWidth, row.photoHeight, row.shape});
        EXPECT_EQ(framing.status, row.status);
        EXPECT_EQ(framing.frame, row.frame);
        if (row.share > 0) {
            EXPECT_NEAR(framing.headShare, row.share, 1e-4);
        }
        if (!framing.frame)
            continue;
        // Whatever the row: inside the photo, the preset's proportions to a
        // pixel, never below the preset.
        const PixelRect& frame = *framing.frame;
        EXPECT_GE(frame.x, 0);
        EXPECT_GE(frame.y, 0);
        EXPECT_LE(frame.x + frame.width, row.photoWidth);
        EXPECT_LE(frame.y + frame.height, row.photoHeight);
        EXPECT_GE(frame.height, row.shape.height);
        EXPECT_NEAR(frame.width, frame.height * double(row.shape.width) / row.shape.height, 1.0);
    }
}

} // namespace
} // namespace velmora::registry
