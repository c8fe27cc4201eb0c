#include "tests/portraits/Portraits.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

namespace velmora::test {
namespace {

// Her head in the portrait's pixels (data/README.md).
constexpr double HAIR_TOP = 15.5;
constexpr double CHIN = 177;
constexpr double HEAD_CENTRE_X = 227;
// The mask ends here; below it her suit goes on as this line holds it.
constexpr int LAST_LINE = 339;
constexpr double PI = 3.14159265358979323846;

struct Netpbm {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bytes; // RGB for P6, one per pixel (1 = set) for P4
};

// A binary PPM (P6, 255) or PBM (P4) as netpbm writes them, without comments.
Netpbm readNetpbm(const std::string& name)
{
    const std::string path = std::string(VELMORA_PORTRAIT_DATA_DIR) + "/" + name;
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    Netpbm image;
    int maximum = 255;
    in >> magic >> image.width >> image.height;
    if (magic == "P6")
        in >> maximum;
    in.get();
    if (!in || (magic != "P6" && magic != "P4") || maximum != 255)
        throw std::runtime_error("cannot read " + path);
    const std::vector<char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (magic == "P6") {
        image.bytes.assign(data.begin(), data.end());
    } else {
        const int row = (image.width + 7) / 8;
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x) {
                const auto byte = static_cast<unsigned char>(data.at(static_cast<std::size_t>(y * row + x / 8)));
                image.bytes.push_back((byte >> (7 - x % 8)) & 1);
            }
    }
    if (image.bytes.size() < static_cast<std::size_t>(image.width * image.height * (magic == "P6" ? 3 : 1)))
        throw std::runtime_error("cannot read " + path);
    return image;
}

const Netpbm& astronaut()
{
    static const Netpbm image = readNetpbm("astronaut.ppm");
    return image;
}

const Netpbm& astronautMask()
{
    static const Netpbm image = readNetpbm("astronaut-mask.pbm");
    return image;
}

const Netpbm& cat()
{
    static const Netpbm image = readNetpbm("chelsea.ppm");
    return image;
}

std::uint32_t pack(double red, double green, double blue)
{
    const auto channel = [](double value) {
        return static_cast<std::uint32_t>(std::clamp(static_cast<int>(std::lround(value)), 0, 255));
    };
    return 0xFF000000u | channel(red) << 16 | channel(green) << 8 | channel(blue);
}

// Bilinear colour of `image` at (u, v), its lines below `lastLine` taken as
// that line; `alpha` from `mask` (1 - the PBM bit) when given, else 1.
bool sample(const Netpbm& image, const Netpbm* mask, double u, double v, int lastLine, double colour[3],
            double& alpha)
{
    v = std::min(v, double(lastLine));
    if (u < 0 || v < 0 || u > image.width - 1 || v > image.height - 1)
        return false;
    const int x = std::min(static_cast<int>(u), image.width - 2);
    const int y = std::min(static_cast<int>(v), image.height - 2);
    const double fx = u - x;
    const double fy = v - y;
    const double weights[4] = {(1 - fx) * (1 - fy), fx * (1 - fy), (1 - fx) * fy, fx * fy};
    const int at[4] = {y * image.width + x, y * image.width + x + 1, (y + 1) * image.width + x,
                       (y + 1) * image.width + x + 1};
    colour[0] = colour[1] = colour[2] = 0;
    alpha = mask ? 0 : 1;
    for (int k = 0; k < 4; ++k) {
        for (int c = 0; c < 3; ++c)
            colour[c] += weights[k] * image.bytes[static_cast<std::size_t>(at[k] * 3 + c)];
        if (mask)
            alpha += weights[k] * (1 - mask->bytes[static_cast<std::size_t>(at[k])]);
    }
    return true;
}

void blend(std::uint32_t& pixel, const double colour[3], double alpha)
{
    const double under[3] = {double((pixel >> 16) & 0xFF), double((pixel >> 8) & 0xFF), double(pixel & 0xFF)};
    pixel = pack(under[0] + alpha * (colour[0] - under[0]), under[1] + alpha * (colour[1] - under[1]),
                 under[2] + alpha * (colour[2] - under[2]));
}

// The next value of a small deterministic generator.
unsigned next(unsigned& state)
{
    state = state * 1103515245u + 12345u;
    return (state >> 8) & 0xFFFFFF;
}

std::vector<double> gaussian(double sigma)
{
    const int radius = std::max(1, static_cast<int>(std::ceil(3 * sigma)));
    std::vector<double> kernel;
    double total = 0;
    for (int k = -radius; k <= radius; ++k) {
        kernel.push_back(std::exp(-k * k / (2 * sigma * sigma)));
        total += kernel.back();
    }
    for (double& weight : kernel)
        weight /= total;
    return kernel;
}

} // namespace

registry::HeadBox headOf(const Placement& placement)
{
    return {placement.centreY - placement.headHeight / 2, placement.centreY + placement.headHeight / 2,
            placement.centreX};
}

Photo plainPhoto(int width, int height, Rgb colour)
{
    return {width, height,
            std::vector<std::uint32_t>(static_cast<std::size_t>(width) * static_cast<std::size_t>(height),
                                       pack(colour.red, colour.green, colour.blue))};
}

Photo busyPhoto(int width, int height, unsigned seed)
{
    Photo photo = plainPhoto(width, height, {150, 140, 120});
    unsigned state = seed * 2654435761u + 1;
    for (int shape = 0; shape < 120; ++shape) {
        const int w = 10 + static_cast<int>(next(state) % static_cast<unsigned>(width / 4));
        const int h = 10 + static_cast<int>(next(state) % static_cast<unsigned>(height / 6));
        const int left = static_cast<int>(next(state) % static_cast<unsigned>(width)) - w / 2;
        const int top = static_cast<int>(next(state) % static_cast<unsigned>(height)) - h / 2;
        const std::uint32_t colour = pack(next(state) % 256, next(state) % 256, next(state) % 256);
        const bool stripes = next(state) % 3 == 0;
        for (int y = std::max(0, top); y < std::min(height, top + h); ++y)
            for (int x = std::max(0, left); x < std::min(width, left + w); ++x)
                if (!stripes || (y / 6) % 2 == 0)
                    photo.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] = colour;
    }
    return photo;
}

void placeAstronaut(Photo& photo, const Placement& placement)
{
    const Netpbm& image = astronaut();
    const Netpbm& mask = astronautMask();
    const double scale = placement.headHeight / (CHIN - HAIR_TOP);
    const double angle = placement.tilt * PI / 180;
    const double cosine = std::cos(angle) / scale;
    const double sine = std::sin(angle) / scale;
    const double centreY = (HAIR_TOP + CHIN) / 2;
    for (int y = 0; y < photo.height; ++y)
        for (int x = 0; x < photo.width; ++x) {
            const double dx = x - placement.centreX;
            const double dy = y - placement.centreY;
            const double u = HEAD_CENTRE_X + cosine * dx + sine * dy;
            const double v = centreY - sine * dx + cosine * dy;
            double colour[3];
            double alpha = 0;
            if (sample(image, &mask, u, v, LAST_LINE, colour, alpha) && alpha > 0)
                blend(photo.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(photo.width) + static_cast<std::size_t>(x)], colour, alpha);
        }
}

void placeCat(Photo& photo, double centreX, double centreY, double height)
{
    const Netpbm& image = cat();
    const double scale = height / image.height;
    for (int y = 0; y < photo.height; ++y)
        for (int x = 0; x < photo.width; ++x) {
            const double u = (x - centreX) / scale + image.width / 2.0;
            const double v = (y - centreY) / scale + image.height / 2.0;
            double colour[3];
            double alpha = 0;
            if (sample(image, nullptr, u, v, image.height - 1, colour, alpha) && v <= image.height - 1)
                blend(photo.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(photo.width) + static_cast<std::size_t>(x)], colour, alpha);
        }
}

void blur(Photo& photo, double sigma)
{
    const std::vector<double> kernel = gaussian(sigma);
    const int radius = static_cast<int>(kernel.size() / 2);
    std::vector<double> work(photo.pixels.size() * 3);
    const auto filter = [&](int count, int length, auto index) {
        std::vector<double> line(static_cast<std::size_t>(length) * 3);
        for (int i = 0; i < count; ++i) {
            for (int t = 0; t < length; ++t)
                for (int c = 0; c < 3; ++c)
                    line[static_cast<std::size_t>(t * 3 + c)] = work[index(i, t) * 3 + static_cast<std::size_t>(c)];
            for (int t = 0; t < length; ++t)
                for (int c = 0; c < 3; ++c) {
                    double sum = 0;
                    for (int k = -radius; k <= radius; ++k)
                        sum += kernel[static_cast<std::size_t>(k + radius)]
                            * line[static_cast<std::size_t>(std::clamp(t + k, 0, length - 1) * 3 + c)];
                    work[index(i, t) * 3 + static_cast<std::size_t>(c)] = sum;
                }
        }
    };
    for (std::size_t i = 0; i < photo.pixels.size(); ++i)
        for (int c = 0; c < 3; ++c)
            work[i * 3 + static_cast<std::size_t>(c)] = (photo.pixels[i] >> (16 - 8 * c)) & 0xFF;
    const auto width = static_cast<std::size_t>(photo.width);
    filter(photo.height, photo.width, [&](int y, int x) { return static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x); });
    filter(photo.width, photo.height, [&](int x, int y) { return static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x); });
    for (std::size_t i = 0; i < photo.pixels.size(); ++i)
        photo.pixels[i] = pack(work[i * 3], work[i * 3 + 1], work[i * 3 + 2]);
}

void scaleBrightness(Photo& photo, double factor)
{
    for (std::uint32_t& pixel : photo.pixels)
        pixel = pack(((pixel >> 16) & 0xFF) * factor, ((pixel >> 8) & 0xFF) * factor, (pixel & 0xFF) * factor);
}

void addNoise(Photo& photo, int amplitude, unsigned seed)
{
    unsigned state = seed * 2246822519u + 7;
    const auto span = static_cast<unsigned>(2 * amplitude + 1);
    for (std::uint32_t& pixel : photo.pixels) {
        const auto shift = [&] { return static_cast<int>(next(state) % span) - amplitude; };
        pixel = pack(int((pixel >> 16) & 0xFF) + shift(), int((pixel >> 8) & 0xFF) + shift(), int(pixel & 0xFF) + shift());
    }
}

} // namespace velmora::test
