// How well the upload export frames a student's head: 100 twelve-megapixel
// photos of the astronaut portrait (tests/portraits), her head 12 % to 60 %
// of the height anywhere the frame fits, upright or taken sideways, stored
// turned by an orientation tag in three of four, tilted up to 10°. Each is
// exported and her head found in the exported file by matching her portrait
// (HeadLocator, not the program's face finding): the head must be 0.6 to
// 0.75 of the height and its centre within 3 % of the width of the middle.
// The baseline in the same run is the cut the export made before it framed
// by the head (a quarter of the excess off the top), worked out from where
// she was placed.
//
//   velmora-bench-framing [PHOTOS]     (default 100)

#include "bench/HeadLocator.h"
#include "registry/export/ExportPreset.h"
#include "registry/export/PhotoConverter.h"
#include "registry/face/AssessPhoto.h"
#include "tests/portraits/PortraitJpeg.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

using namespace velmora;

namespace {

constexpr int DEFAULT_PHOTOS = 100;
constexpr double PRESET_WIDTH = 358;
constexpr double PRESET_HEIGHT = 441;

// A deterministic share 0..1 for photo `index` and quantity `which`.
double spread(int index, int which)
{
    const unsigned mixed = (static_cast<unsigned>(index) * 2654435761u) ^ (static_cast<unsigned>(which) * 40503u);
    return ((mixed >> 7) % 1000) / 999.0;
}

struct Case {
    int width = 3024;
    int height = 4032;
    test::Placement placement;
    int orientation = 1;
    test::Rgb background;
};

// Her head `share` of the height, anywhere the ideal frame (1.5 heads
// high, a tenth of it above the hair, centred on the head) lies inside.
Case caseOf(int index)
{
    static const test::Rgb BACKGROUNDS[] = {{120, 180, 235}, {245, 245, 245}, {200, 200, 200}, {67, 142, 219}};
    static const int TAGS[] = {1, 6, 8, 3};
    Case made;
    if (index % 5 == 4)
        std::swap(made.width, made.height);
    const double head = made.height * (0.12 + 0.48 * spread(index, 1));
    const double frame = 1.5 * head;
    const double halfWidth = std::min(frame * PRESET_WIDTH / PRESET_HEIGHT / 2, made.width / 2.0);
    const double x = halfWidth + (made.width - 2 * halfWidth) * spread(index, 2);
    const double top = 0.1 * frame + (made.height - frame) * spread(index, 3);
    made.placement = {x, top + head / 2, head, -10 + 20 * spread(index, 4)};
    made.orientation = TAGS[index % 4];
    made.background = BACKGROUNDS[index % 4];
    return made;
}

struct Result {
    bool exported = false;
    double share = 0;     // measured on the exported file
    double offCentre = 0; // share of the width
    double trueShare = 0; // where she was placed, through the export's frame
    double plainShare = 0;    // the cut before framing, from where she was placed
    double plainOffCentre = 0;
    double milliseconds = 0;  // the export of the photo
};

bool withinTargets(double share, double offCentre)
{
    return share >= 0.6 && share <= 0.75 && offCentre <= 0.03;
}

Result run(int index)
{
    const Case photo = caseOf(index);
    test::Photo picture = test::plainPhoto(photo.width, photo.height, photo.background);
    test::placeAstronaut(picture, photo.placement);
    test::addNoise(picture, 4, static_cast<unsigned>(index));
    const QByteArray bytes = test::jpegOf(picture, photo.orientation);
    const std::string_view view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    Result result;
    const registry::HeadBox truth = test::headOf(photo.placement);
    const registry::CropRect plain = registry::cropForPreset(photo.width, photo.height, registry::registryPreset());
    result.plainShare = truth.height() / plain.height;
    result.plainOffCentre = std::abs(truth.centreX - plain.x - plain.width / 2.0) / plain.width;

    QElapsedTimer timer;
    timer.start();
    const registry::Conversion made = registry::convertPhoto(view, registry::registryPreset());
    result.milliseconds = timer.nsecsElapsed() / 1e6;
    if (made.status != registry::Conversion::Status::Converted)
        return result;
    result.exported = true;
    const QImage exported = QImage::fromData(
        QByteArray::fromRawData(made.bytes.data(), static_cast<qsizetype>(made.bytes.size())), "JPEG");
    const bench::LocatedHead found = bench::locateHead(exported, photo.placement.tilt);
    result.share = (found.chin - found.top) / PRESET_HEIGHT;
    result.offCentre = std::abs(found.centreX - PRESET_WIDTH / 2) / PRESET_WIDTH;
    if (const auto frame = registry::assessPhoto(view).frame)
        result.trueShare = truth.height() / frame->height;
    return result;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : DEFAULT_PHOTOS;
    std::vector<Result> results(static_cast<std::size_t>(count));
    std::atomic<int> next{0};
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < std::max(1u, std::thread::hardware_concurrency()); ++t)
        threads.emplace_back([&] {
            for (int i = next++; i < count; i = next++)
                results[static_cast<std::size_t>(i)] = run(i);
        });
    for (auto& thread : threads)
        thread.join();

    int framed = 0;
    int plainFramed = 0;
    int exported = 0;
    std::vector<double> shares;
    std::vector<double> offsets;
    std::vector<double> locatorErrors;
    std::vector<double> times;
    for (int i = 0; i < count; ++i) {
        const Result& r = results[static_cast<std::size_t>(i)];
        plainFramed += withinTargets(r.plainShare, r.plainOffCentre) ? 1 : 0;
        times.push_back(r.milliseconds);
        if (!r.exported) {
            std::printf("photo %d: not exported\n", i);
            continue;
        }
        ++exported;
        shares.push_back(r.share);
        offsets.push_back(r.offCentre);
        locatorErrors.push_back(std::abs(r.share - r.trueShare));
        if (withinTargets(r.share, r.offCentre))
            ++framed;
        else
            std::printf("photo %d: head %.3f of the height, %.3f of the width off the middle\n", i, r.share,
                        r.offCentre);
    }
    std::printf("photos: %d (12 MP, head 12-60 %% of the height, tilts up to 10 deg), exported %d\n", count,
                exported);
    std::printf("framed by the head: %d of %d within 0.6-0.75 and 3 %% of the middle (target: at least 95 of 100)\n",
                framed, count);
    std::printf("cut as before framing: %d of %d\n", plainFramed, count);
    if (!shares.empty()) {
        std::printf("head share: %.3f to %.3f, median %.3f; off the middle: median %.4f, largest %.4f\n",
                    *std::min_element(shares.begin(), shares.end()), *std::max_element(shares.begin(), shares.end()),
                    median(shares), median(offsets), *std::max_element(offsets.begin(), offsets.end()));
        std::printf("the locator against where she was placed: median %.4f, largest %.4f of the height\n",
                    median(locatorErrors), *std::max_element(locatorErrors.begin(), locatorErrors.end()));
    }
    std::printf("export per photo: median %.0f ms (both cores busy)\n", median(times));
    return 0;
}
