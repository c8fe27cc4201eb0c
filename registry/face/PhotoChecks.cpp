#include "registry/face/PhotoChecks.h"

namespace velmora::registry {
namespace {

bool lightGrey(const PhotoFigures& f)
{
    return f.backgroundLuma >= LIGHTEST_GREY_LUMA && f.backgroundChroma <= MOST_GREY_CHROMA;
}

bool lightBlue(const PhotoFigures& f)
{
    return f.backgroundHue >= BLUE_HUE_FROM && f.backgroundHue <= BLUE_HUE_TO
        && f.backgroundValue >= LEAST_BLUE_VALUE && f.backgroundChroma > MOST_GREY_CHROMA;
}

struct Row {
    PhotoCheck check;
    bool (*fails)(const PhotoFigures&);
};

// The header's table, in its order.
constexpr Row TABLE[] = {
    {PhotoCheck::Incomplete, [](const PhotoFigures& f) { return !f.wholeFile; }},
    {PhotoCheck::NoFace, [](const PhotoFigures& f) { return !f.faceFound; }},
    {PhotoCheck::SecondFace, [](const PhotoFigures& f) { return f.secondFace; }},
    {PhotoCheck::HeadCut, [](const PhotoFigures& f) { return f.framing == FramingStatus::HeadCut; }},
    {PhotoCheck::TooSmall, [](const PhotoFigures& f) { return f.framing == FramingStatus::TooSmall; }},
    {PhotoCheck::TooDark, [](const PhotoFigures& f) { return f.faceLuma < DARKEST_FACE; }},
    {PhotoCheck::TooBright,
     [](const PhotoFigures& f) { return f.faceLuma > BRIGHTEST_FACE || f.faceClipped >= MOST_CLIPPED; }},
    {PhotoCheck::Blurred, [](const PhotoFigures& f) { return f.sharpness < LEAST_SHARPNESS; }},
    {PhotoCheck::Background,
     [](const PhotoFigures& f) {
         const bool plain = f.backgroundSpread <= MOST_BACKGROUND_SPREAD && f.backgroundDetail <= MOST_BACKGROUND_DETAIL;
         return !f.backgroundSeen || !plain || !(lightGrey(f) || lightBlue(f));
     }},
};

} // namespace

std::string_view reasonText(PhotoCheck check)
{
    switch (check) {
    case PhotoCheck::Passed:
        return PASS_TEXT;
    case PhotoCheck::Incomplete:
        return "照片不完整";
    case PhotoCheck::NoFace:
        return "未找到人脸";
    case PhotoCheck::SecondFace:
        return "不止一张人脸";
    case PhotoCheck::HeadCut:
        return "头部不完整";
    case PhotoCheck::TooSmall:
        return "人像太小";
    case PhotoCheck::TooDark:
        return "照片过暗";
    case PhotoCheck::TooBright:
        return "照片过亮";
    case PhotoCheck::Blurred:
        return "照片模糊";
    case PhotoCheck::Background:
        return "背景不是浅色纯色";
    }
    return "照片不完整";
}

std::string verdictText(PhotoCheck check)
{
    if (check == PhotoCheck::Passed)
        return std::string(PASS_TEXT);
    return std::string(RESHOOT_PREFIX) + std::string(reasonText(check));
}

PhotoCheck firstFailingCheck(const PhotoFigures& figures)
{
    for (const Row& row : TABLE)
        if (row.fails(figures))
            return row.check;
    return PhotoCheck::Passed;
}

} // namespace velmora::registry
