#pragma once

// The checks a photo must pass for the student-registry upload, one table,
// tried in this order; the first that fails is the verdict, with its reason
// text (the system's own, shown to staff as "需重拍：" + reason):
//
// | # | check       | measured on                               | fails when                                         | reason           |
// |---|-------------|-------------------------------------------|----------------------------------------------------|------------------|
// | 1 | Incomplete  | the file                                  | a JPEG without its end of image, a PNG without IEND, or no picture at all | "照片不完整" |
// | 2 | NoFace      | the whole photo                           | no face scoring at least STUDENT_SCORE              | "未找到人脸"     |
// | 3 | SecondFace  | the whole photo                           | another face of 60 % of the student's box or more, scoring 0.25 or more | "不止一张人脸" |
// | 4 | HeadCut     | the head and its frame                    | the framing rule's HeadCut (the hair at the top edge, or no frame fits) | "头部不完整" |
// | 5 | TooSmall    | the frame                                 | the framing rule's TooSmall (it would need enlarging) | "人像太小"       |
// | 6 | TooDark     | the middle of the face                    | mean luma below 85 of 255                          | "照片过暗"       |
// | 7 | TooBright   | the middle of the face                    | mean luma above 230, or a fifth of it at 250 or more | "照片过亮"     |
// | 8 | Blurred     | the middle of the face at half the registry's size | sharpness below 0.15                      | "照片模糊"       |
// | 9 | Background  | the frame above the head and beside its top | luma spread above 20 or detail above 6 (not plain), or neither light and nearly grey (luma 150 or more, chroma 40 or less) nor light blue (hue 180-250°, brightest channel 170 or more, chroma over 40) | "背景不是浅色纯色" |
//
// Brightness comes before sharpness because a face too dark shows no detail
// at all; the background last, as it is judged within the frame. The
// figures are measured by PhotoMeasures and kept with the verdict for logs
// and calibration (docs/photo-checks.md).

#include "registry/face/FramingRule.h"

#include <string>
#include <string_view>

namespace velmora::registry {

enum class PhotoCheck {
    Passed,
    Incomplete,
    NoFace,
    SecondFace,
    HeadCut,
    TooSmall,
    TooDark,
    TooBright,
    Blurred,
    Background,
};

// What staff read, UTF-8: the pass text, and the prefix of a failing one.
inline constexpr std::string_view PASS_TEXT = "可用于学籍上传";
inline constexpr std::string_view RESHOOT_PREFIX = "需重拍：";

// The reason of a failing check ("照片模糊"); PASS_TEXT for Passed.
std::string_view reasonText(PhotoCheck check);

// "可用于学籍上传", or "需重拍：" + the reason.
std::string verdictText(PhotoCheck check);

// The thresholds of the table.
inline constexpr double DARKEST_FACE = 85;
inline constexpr double BRIGHTEST_FACE = 230;
inline constexpr double MOST_CLIPPED = 0.2;
inline constexpr double LEAST_SHARPNESS = 0.15;
inline constexpr double MOST_BACKGROUND_SPREAD = 20;
inline constexpr double MOST_BACKGROUND_DETAIL = 6;
inline constexpr double LIGHTEST_GREY_LUMA = 150;
inline constexpr double MOST_GREY_CHROMA = 40;
inline constexpr double BLUE_HUE_FROM = 180;
inline constexpr double BLUE_HUE_TO = 250;
inline constexpr double LEAST_BLUE_VALUE = 170;

// The figures the checks are decided by.
struct PhotoFigures {
    bool wholeFile = true;       // the bytes end as the format requires and decode
    bool faceFound = false;
    double faceScore = 0;        // the student's face
    bool secondFace = false;
    double secondFaceScore = 0;
    double secondFaceSize = 0;   // its box side / the student's
    FramingStatus framing = FramingStatus::HeadCut;
    double headShare = 0;        // head height / frame height, as framed
    double faceLuma = 0;         // mean, 0..255
    double faceClipped = 0;      // share of the face at luma 250 or more
    double sharpness = 0;        // variance of the Laplacian / variance of the face, at half the registry's size
    bool backgroundSeen = false; // whether any of the frame's background was measured
    double backgroundLuma = 0;   // mean, 0..255
    double backgroundChroma = 0; // brightest channel - darkest channel of the mean colour
    double backgroundHue = 0;    // of the mean colour, degrees 0..360
    double backgroundValue = 0;  // brightest channel of the mean colour
    double backgroundSpread = 0; // standard deviation of the luma
    double backgroundDetail = 0; // mean luma step between neighbours
};

// The first row of the table that fails; Passed when none does. A check
// whose figures were not measured (no face, no frame) counts as failed only
// through the rows before it.
PhotoCheck firstFailingCheck(const PhotoFigures& figures);

} // namespace velmora::registry
