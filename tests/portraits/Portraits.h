#pragma once

// Roll photos made from NASA's public-domain portrait of an astronaut
// (data/README.md): she is cut out of her studio by a mask and placed, at
// any size, position and tilt, before a plain or a busy background, her suit
// running on to the photo's lower edge as a student's body would; also a
// cat, for a photo without a face. Then blurred, darkened or given sensor
// noise as a phone would take it. Qt-free, so the tests under Wine make the
// same photos as the native ones.

#include "registry/face/FramingRule.h"
#include "registry/face/Picture.h"

#include <cstdint>
#include <vector>

namespace velmora::test {

struct Rgb {
    int red = 0;
    int green = 0;
    int blue = 0;
};

// Pixels 0xFFRRGGBB, line after line.
struct Photo {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    registry::PictureView view() const { return {pixels.data(), width, height, width}; }
};

// Where her head (top of the hair to the chin) goes in a photo, pixels.
struct Placement {
    double centreX = 0;
    double centreY = 0;
    double headHeight = 0;
    double tilt = 0; // degrees, clockwise
};

// Her head as placed: tilts up to 10° change its height by under 1 %.
registry::HeadBox headOf(const Placement& placement);

Photo plainPhoto(int width, int height, Rgb colour);
// A classroom wall: posters, shelves and lines of many colours.
Photo busyPhoto(int width, int height, unsigned seed);

void placeAstronaut(Photo& photo, const Placement& placement);
// Chelsea the cat, `height` pixels high, centred there.
void placeCat(Photo& photo, double centreX, double centreY, double height);

// A Gaussian blur of `sigma` pixels.
void blur(Photo& photo, double sigma);
// Every channel times `factor`, clipped to 255.
void scaleBrightness(Photo& photo, double factor);
// Uniform noise of up to ±`amplitude` per channel.
void addNoise(Photo& photo, int amplitude, unsigned seed);

} // namespace velmora::test
