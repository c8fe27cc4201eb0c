#include "registry/face/PhotoAssessment.h"

#include "registry/face/FaceSearch.h"
#include "registry/face/HeadOutlineFinder.h"
#include "registry/face/PhotoMeasures.h"

namespace velmora::registry {
namespace {

Area scaled(const Area& area, double across, double down)
{
    return {area.left * across, area.top * down, area.width * across, area.height * down};
}

} // namespace

PhotoAssessment assessPicture(const PictureView& copy, int uprightWidth, int uprightHeight, bool wholeFile,
                              const FrameShape& shape)
{
    PhotoAssessment assessment;
    assessment.uprightWidth = uprightWidth;
    assessment.uprightHeight = uprightHeight;
    PhotoFigures& figures = assessment.figures;
    figures.wholeFile = wholeFile;
    if (copy.width <= 0 || copy.height <= 0 || uprightWidth <= 0 || uprightHeight <= 0) {
        figures.wholeFile = false;
        assessment.verdict = firstFailingCheck(figures);
        return assessment;
    }
    const GreyPicture grey = greyOf(copy);
    const FaceSearchResult found = searchFaces(grey);
    if (found.student) {
        figures.faceFound = true;
        figures.faceScore = found.student->score;
    }
    if (found.second) {
        figures.secondFace = true;
        figures.secondFaceScore = found.second->score;
        figures.secondFaceSize = found.second->box.width / found.student->box.width;
    }
    if (!found.student) {
        assessment.verdict = firstFailingCheck(figures);
        return assessment;
    }

    const double across = double(uprightWidth) / copy.width;
    const double down = double(uprightHeight) / copy.height;
    const Area face = found.student->box;
    HeadOutline outline = findHeadOutline(copy, face);
    outline.top *= down;
    outline.centreX *= across;
    FramingInput input;
    input.face = scaled(face, across, down);
    input.outline = outline;
    input.photoWidth = uprightWidth;
    input.photoHeight = uprightHeight;
    input.shape = shape;
    const Framing framing = frameHead(input);
    figures.framing = framing.status;
    figures.headShare = framing.headShare;
    assessment.face = input.face;
    assessment.head = framing.head;
    assessment.frame = framing.frame;

    if (framing.status == FramingStatus::Framed && framing.frame) {
        const PixelRect& frame = *framing.frame;
        const HeadBox head{framing.head.top / down, framing.head.chin / down, framing.head.centreX / across};
        measurePhoto(copy, grey, face, head,
                     {frame.x / across, frame.y / down, frame.width / across, frame.height / down}, shape, figures);
    }
    assessment.verdict = firstFailingCheck(figures);
    return assessment;
}

PhotoAssessment unreadablePhoto()
{
    PhotoAssessment assessment;
    assessment.figures.wholeFile = false;
    assessment.verdict = PhotoCheck::Incomplete;
    return assessment;
}

} // namespace velmora::registry
