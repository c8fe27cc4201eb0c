#include "registry/face/FaceDetector.h"

#include <dlib/base64.h>
#include <dlib/image_processing/frontal_face_detector.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <sstream>
#include <string>

namespace velmora::registry {
namespace {

#include "registry/face/FaceModel.inc"

using Detector = dlib::frontal_face_detector;
using Scanner = dlib::scan_fhog_pyramid<dlib::pyramid_down<6>>;

// The smallest face box the detector reports on a picture's own scale (its
// 80-pixel window less the margin it keeps around the face), and its step
// from one scale to the next (pyramid_down<6>: 5/6 of the size each time).
constexpr double SMALLEST_BOX = 73;
constexpr double STEP = 1.2;
// Upscaling further only makes the picture larger, not the face sharper.
constexpr double LARGEST_ZOOM = 4;

Detector builtInDetector()
{
    std::string text;
    for (const char* line : FACE_MODEL_BASE64)
        text += line;
    std::istringstream encoded(text);
    std::ostringstream plain;
    dlib::base64().decode(encoded, plain);
    std::istringstream model(plain.str());
    Detector detector;
    dlib::deserialize(detector, model);
    return detector;
}

// Read from the plain copy built in, about 2 ms; dlib's own packed copy
// (get_frontal_face_detector) took a quarter of a second to unpack.
const Detector& prototype()
{
    static const Detector detector = builtInDetector();
    return detector;
}

} // namespace

struct FaceDetector::Engine {
    // The model searching 1, 2, ... scales, made as a search needs it: the
    // scanner's number of scales is fixed when a detector is made.
    std::map<unsigned long, Detector> byScales;

    Detector& withScales(unsigned long scales)
    {
        auto found = byScales.find(scales);
        if (found != byScales.end())
            return found->second;
        const Detector& model = prototype();
        Scanner scanner;
        scanner.copy_configuration(model.get_scanner());
        scanner.set_max_pyramid_levels(scales);
        std::vector<Detector::feature_vector_type> weights;
        for (unsigned long i = 0; i < model.num_detectors(); ++i)
            weights.push_back(model.get_w(i));
        return byScales.emplace(scales, Detector(scanner, model.get_overlap_tester(), weights)).first->second;
    }
};

namespace {

// The detectors not lent out. Never destroyed: a thread the program
// abandons at its end (a photo write that does not return) may still hold
// a lease. (Detectors made per thread with thread_local crashed
// velmora-photos.exe under Wine when its export workers ended.)
struct Pool {
    std::mutex mutex;
    std::vector<std::unique_ptr<FaceDetector>> idle;
};

Pool& pool()
{
    static Pool* const shared = new Pool;
    return *shared;
}

} // namespace

FaceDetector::Lease::Lease()
{
    Pool& detectors = pool();
    {
        std::lock_guard lock(detectors.mutex);
        if (!detectors.idle.empty()) {
            m_detector = std::move(detectors.idle.back());
            detectors.idle.pop_back();
        }
    }
    if (!m_detector)
        m_detector = std::make_unique<FaceDetector>();
}

FaceDetector::Lease::~Lease()
{
    Pool& detectors = pool();
    std::lock_guard lock(detectors.mutex);
    detectors.idle.push_back(std::move(m_detector));
}

std::string serializedFaceModel()
{
    std::ostringstream out;
    dlib::serialize(prototype(), out);
    return out.str();
}

FaceDetector::FaceDetector()
    : m_engine(std::make_unique<Engine>())
{
}

FaceDetector::~FaceDetector() = default;

std::vector<FaceBox> FaceDetector::find(const GreyPicture& picture, double smallest, double largest,
                                        double threshold)
{
    std::vector<FaceBox> faces;
    if (picture.width <= 0 || picture.height <= 0 || smallest <= 0)
        return faces;
    largest = std::clamp(largest, smallest, double(std::min(picture.width, picture.height)));
    const double zoom = std::min(SMALLEST_BOX / smallest, LARGEST_ZOOM);
    // Each scale also finds faces up to half a step larger.
    const auto scales = static_cast<unsigned long>(
        1 + std::max(0.0, std::ceil(std::log(largest * zoom / SMALLEST_BOX) / std::log(STEP) - 0.5)));
    const int width = std::max(1, static_cast<int>(std::lround(picture.width * zoom)));
    const int height = std::max(1, static_cast<int>(std::lround(picture.height * zoom)));
    const GreyPicture scaled = std::abs(zoom - 1) < 0.01
        ? picture
        : resampled(picture, {0, 0, double(picture.width), double(picture.height)}, width, height);

    dlib::array2d<unsigned char> image(scaled.height, scaled.width);
    for (int y = 0; y < scaled.height; ++y)
        std::memcpy(&image[y][0], scaled.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(scaled.width),
                    static_cast<std::size_t>(scaled.width));
    std::vector<dlib::rect_detection> found;
    m_engine->withScales(scales)(image, found, threshold);

    const double across = double(picture.width) / scaled.width;
    const double down = double(picture.height) / scaled.height;
    for (const dlib::rect_detection& detection : found) {
        const dlib::rectangle& rect = detection.rect;
        faces.push_back({{rect.left() * across, rect.top() * down, double(rect.width()) * across,
                          double(rect.height()) * down},
                         detection.detection_confidence});
    }
    return faces;
}

} // namespace velmora::registry
