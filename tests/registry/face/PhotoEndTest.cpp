// Whether a photo's bytes hold all of it: JPEG files built segment by
// segment, cut where a broken-off transfer cuts them, and PNG files; the
// file's own structure must tell, since a decoder fills a cut photo with
// grey and reports no error.

#include "registry/face/PhotoEnd.h"

#include <gtest/gtest.h>

#include <string>

namespace velmora::registry {
namespace {

std::string bytes(std::initializer_list<int> values)
{
    std::string out;
    for (const int value : values)
        out += static_cast<char>(value);
    return out;
}

// A segment: marker, then its length (counting itself) and body.
std::string segment(int marker, const std::string& body)
{
    const std::size_t length = body.size() + 2;
    return bytes({0xFF, marker, static_cast<int>(length >> 8), static_cast<int>(length & 0xFF)}) + body;
}

const std::string SOI = bytes({0xFF, 0xD8});
const std::string EOI = bytes({0xFF, 0xD9});
const std::string JFIF = segment(0xE0, std::string("JFIF\0\x01\x01\x01\x01\x5E\x01\x5E\0\0", 14));
const std::string TABLES = segment(0xDB, std::string(65, '\x01')) + segment(0xC4, std::string(30, '\x02'));
const std::string FRAME = segment(0xC0, std::string("\x08\x01\xB9\x01\x66\x01\x01\x11\x00", 9));
const std::string SCAN_HEADER = segment(0xDA, std::string("\x01\x01\x00\x00\x3F\x00", 6));
// Entropy-coded data with a stuffed FF (FF 00) and restart markers.
const std::string SCAN_DATA = bytes({0x12, 0xFF, 0x00, 0x34, 0xFF, 0xD0, 0x56, 0xFF, 0xD1, 0x78, 0x9A});
// An EXIF segment holding a thumbnail, itself a JPEG with its own end marker.
const std::string EXIF_THUMBNAIL = segment(0xE1, std::string("Exif\0\0", 6) + SOI + SCAN_HEADER + "xx" + EOI);
const std::string BASELINE = SOI + JFIF + TABLES + FRAME + SCAN_HEADER + SCAN_DATA + EOI;
const std::string PROGRESSIVE = SOI + JFIF + TABLES + segment(0xC2, std::string(9, '\x01')) + SCAN_HEADER
    + SCAN_DATA + segment(0xC4, std::string(20, '\x03')) + SCAN_HEADER + SCAN_DATA + EOI;

std::string png(bool withEnd)
{
    const auto chunk = [](const std::string& type, const std::string& data) {
        const std::size_t n = data.size();
        return bytes({0, 0, static_cast<int>(n >> 8), static_cast<int>(n & 0xFF)}) + type + data + "CRC!";
    };
    std::string file = std::string("\x89PNG\r\n\x1A\n", 8) + chunk("IHDR", std::string(13, '\x01'))
        + chunk("IDAT", std::string(300, '\x05'));
    return withEnd ? file + chunk("IEND", "") : file;
}

TEST(PhotoEndTest, Table)
{
    struct Row {
        const char* name;
        std::string bytes;
        PhotoEnd expected;
    };
    const Row rows[] = {
        {"baseline JPEG", BASELINE, PhotoEnd::Whole},
        {"bytes after the end (a phone's trailer)", BASELINE + "SEFH trailer", PhotoEnd::Whole},
        {"the end marker missing", BASELINE.substr(0, BASELINE.size() - 2), PhotoEnd::CutShort},
        {"cut inside the scan", BASELINE.substr(0, BASELINE.size() - 6), PhotoEnd::CutShort},
        {"cut after a stuffed FF", BASELINE.substr(0, BASELINE.find(SCAN_DATA) + 2), PhotoEnd::CutShort},
        {"cut inside the frame header", BASELINE.substr(0, BASELINE.find(FRAME) + 5), PhotoEnd::CutShort},
        {"only the start marker", SOI, PhotoEnd::CutShort},
        {"progressive, every scan", PROGRESSIVE, PhotoEnd::Whole},
        {"progressive, cut after the first scan",
         PROGRESSIVE.substr(0, PROGRESSIVE.rfind(SCAN_HEADER)), PhotoEnd::CutShort},
        // The thumbnail's end marker lies inside a segment: not the photo's end.
        {"thumbnail, photo cut", SOI + EXIF_THUMBNAIL + TABLES + FRAME + SCAN_HEADER + "\x11\x22",
         PhotoEnd::CutShort},
        {"thumbnail, photo whole", SOI + EXIF_THUMBNAIL + TABLES + FRAME + SCAN_HEADER + SCAN_DATA + EOI,
         PhotoEnd::Whole},
        {"PNG", png(true), PhotoEnd::Whole},
        {"PNG without IEND", png(false), PhotoEnd::CutShort},
        {"PNG cut inside a chunk", png(true).substr(0, 100), PhotoEnd::CutShort},
        {"no picture", "not a photo", PhotoEnd::OtherKind},
        {"nothing", "", PhotoEnd::OtherKind},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(photoEnd(row.bytes), row.expected);
    }
}

} // namespace
} // namespace velmora::registry
