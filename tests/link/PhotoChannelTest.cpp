// Photo transfers: a 4-byte header, the image bytes, the end marker 02 02 02
// 02. Photos must come out bit-exact whatever the piece boundaries, also when
// the network merges the marker with the photo's last bytes or with the next
// transfer's header.

#include "link/PhotoChannel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using velmora::link::PhotoChannel;

namespace {

const std::string MARKER("\x02\x02\x02\x02", 4);
const std::string HEADER("HDR!");
// The smallest byte strings that begin and end like a JPEG (SOI ... EOI) and
// a PNG (signature ... IEND chunk with its fixed CRC AE 42 60 82).
const std::string JPEG_A("\xFF\xD8\xFF\xE0" "photo-a\x02\x02" "\xFF\xD9", 15);
const std::string JPEG_B("\xFF\xD8" "b" "\xFF\xD9", 5);
const std::string PNG("\x89PNG\r\n\x1A\n" "data" "\x00\x00\x00\x00" "IEND\xAE\x42\x60\x82", 24);

struct TransferCase {
    const char* name;
    std::vector<std::string> pieces;
    std::vector<std::string> photos;
    std::uint64_t mergedAtFront;
    std::uint64_t mergedAfterImage;
    std::size_t leftInBuffer;
};

void PrintTo(const TransferCase& c, std::ostream* os) { *os << c.name; }

class TransferTable : public testing::TestWithParam<TransferCase> {};

// Guards against photos with the marker or the next header glued on, photos
// glued in front of the next student's photo, and markers taken from inside
// ordinary photo data.
TEST_P(TransferTable, CutsOutThePhotos)
{
    const TransferCase& c = GetParam();
    PhotoChannel channel;
    std::vector<std::string> photos;
    for (const std::string& piece : c.pieces) {
        for (std::string& photo : channel.takePiece(piece).photos)
            photos.push_back(std::move(photo));
    }
    EXPECT_EQ(photos, c.photos);
    EXPECT_EQ(channel.mergedAtFront(), c.mergedAtFront);
    EXPECT_EQ(channel.mergedAfterImage(), c.mergedAfterImage);
    EXPECT_EQ(channel.bufferedBytes(), c.leftInBuffer);
}

INSTANTIATE_TEST_SUITE_P(Transfers, TransferTable, testing::Values(
    TransferCase{"OnePiece", {HEADER + "P", MARKER}, {"P"}, 0, 0, 0},
    TransferCase{"ManyPieces", {"HD", "R!P1", "P2", "P3", MARKER}, {"P1P2P3"}, 0, 0, 0},
    TransferCase{"MarkerAtEndOfPieceIsData", {HEADER + "P" + MARKER}, {}, 0, 0, 9},
    TransferCase{"MarkerAtEndThenMarker", {HEADER + "P" + MARKER, MARKER}, {"P" + MARKER}, 0, 0, 0},
    TransferCase{"DataBeginningLikeMarker", {HEADER + "ab", MARKER + "cd"}, {"ab"}, 1, 0, 2},
    TransferCase{"MarkerWithNextHeader", {HEADER + "P1", MARKER + HEADER, "P2", MARKER}, {"P1", "P2"}, 1, 0, 0},
    TransferCase{"FewerThanEightBytes", {"HD", MARKER}, {""}, 0, 0, 0},
    TransferCase{"MarkerAlone", {MARKER}, {""}, 0, 0, 0},
    TransferCase{"HeaderOnly", {HEADER, MARKER}, {""}, 0, 0, 0},
    TransferCase{"JpegMarkerMerged", {HEADER + JPEG_A + MARKER}, {JPEG_A}, 0, 1, 0},
    TransferCase{"JpegMarkerAndNextMerged", {HEADER + JPEG_A + MARKER + HEADER + "\xFF\xD8", "b\xFF\xD9", MARKER},
                 {JPEG_A, JPEG_B}, 0, 1, 0},
    TransferCase{"PngMarkerMerged", {HEADER + PNG.substr(0, 10), PNG.substr(10) + MARKER}, {PNG}, 0, 1, 0},
    TransferCase{"MarkerSplitBehindJpeg", {HEADER + JPEG_B + "\x02\x02", "\x02\x02"}, {JPEG_B}, 0, 1, 0},
    TransferCase{"BothRulesInOnePiece", {HEADER + JPEG_A, MARKER + HEADER + JPEG_B + MARKER}, {JPEG_A, JPEG_B}, 1, 1, 0},
    // FF D9 at the end of data that is no JPEG completes nothing.
    TransferCase{"EndBytesWithoutJpegStart", {HEADER + "ab\xFF\xD9" + MARKER}, {}, 0, 0, 12},
    // A marker inside a JPEG that does not follow FF D9 is image data.
    TransferCase{"MarkerInsideJpeg", {HEADER + "\xFF\xD8" "a" + MARKER + "b\xFF\xD9", MARKER},
                 {"\xFF\xD8" "a" + MARKER + "b\xFF\xD9"}, 0, 0, 0},
    // A read that begins inside a JPEG's quantization table, on a run of 02
    // bytes, goes on with the photo.
    TransferCase{"MarkerRunInsideJpegTables",
                 {HEADER + "\xFF\xD8\xFF\xDB", MARKER + "\x02\x03\x03\x04\x05\x06" "\xFF\xD9", MARKER},
                 {"\xFF\xD8\xFF\xDB" + MARKER + "\x02\x03\x03\x04\x05\x06" "\xFF\xD9"}, 0, 0, 0},
    // Bytes behind a JPEG's end (a motion photo's video) end at a marker that
    // begins a piece, also with the next photo behind it.
    TransferCase{"JpegWithTrailerThenNextPhoto",
                 {HEADER + JPEG_B + "trailer", MARKER + HEADER + JPEG_B + MARKER},
                 {JPEG_B + "trailer", JPEG_B}, 1, 1, 0},
    // The header's own bytes never count as an image end.
    TransferCase{"EndBytesInHeader", {"\xFF\xD8\xFF\xD9" + MARKER}, {}, 0, 0, 8}),
    [](const auto& info) { return std::string(info.param.name); });

std::vector<std::string> feed(PhotoChannel& channel, const std::vector<std::string>& pieces)
{
    std::vector<std::string> photos;
    for (const std::string& piece : pieces) {
        for (std::string& photo : channel.takePiece(piece).photos)
            photos.push_back(std::move(photo));
    }
    return photos;
}

// Two JPEG transfers back to back, each marker right behind its image, cut
// into two and into three pieces at every point and fed byte by byte: the
// same two photos every time, whether the marker begins a piece, straddles
// two or sits inside one.
TEST(TransferCuts, MergedJpegStreamAtEveryCut)
{
    const std::string stream = HEADER + JPEG_A + MARKER + HEADER + JPEG_B + MARKER;
    const std::vector<std::string> expected = {JPEG_A, JPEG_B};
    for (std::size_t a = 1; a < stream.size(); ++a) {
        PhotoChannel two;
        EXPECT_EQ(feed(two, {stream.substr(0, a), stream.substr(a)}), expected) << a;
        for (std::size_t b = a + 1; b < stream.size(); ++b) {
            PhotoChannel three;
            EXPECT_EQ(feed(three, {stream.substr(0, a), stream.substr(a, b - a), stream.substr(b)}), expected)
                << a << ' ' << b;
            EXPECT_EQ(three.bufferedBytes(), 0u);
        }
    }
    PhotoChannel byteByByte;
    std::vector<std::string> bytes;
    for (char byte : stream)
        bytes.emplace_back(1, byte);
    EXPECT_EQ(feed(byteByByte, bytes), expected);
}

// Data that is no image, with the marker in a write of its own: every cut of
// the data gives the same photo, including cuts that leave 02 bytes at the
// end of a piece.
TEST(TransferCuts, PlainDataAtEveryCut)
{
    const std::string data = std::string("\x02\x02\x02xyz\x02", 7) + "\xFF\xD9";
    const std::string transfer = HEADER + data;
    for (std::size_t cut = 1; cut < transfer.size(); ++cut) {
        PhotoChannel channel;
        EXPECT_EQ(feed(channel, {transfer.substr(0, cut), transfer.substr(cut), MARKER}),
                  std::vector<std::string>{data}) << cut;
    }
}

// Guards against unbounded memory from a transfer that never ends, and
// against the rest of a dropped transfer being stored as the next photo.
TEST(PhotoBufferLimit, DropsTheTransferUpToItsMarker)
{
    PhotoChannel channel(32);
    EXPECT_FALSE(channel.takePiece(HEADER + std::string(20, 'x')).dropped);
    EXPECT_TRUE(channel.takePiece(std::string(20, 'x')).dropped);
    EXPECT_LE(channel.bufferedBytes(), 32u);
    EXPECT_FALSE(channel.takePiece(std::string(100, 'y')).dropped);
    EXPECT_TRUE(channel.takePiece(MARKER).photos.empty());
    EXPECT_EQ(feed(channel, {HEADER + "next", MARKER}), std::vector<std::string>{"next"});
    EXPECT_EQ(channel.droppedTransfers(), 1u);
}

TEST(PhotoBufferLimit, DroppedJpegEndsAtItsMergedMarker)
{
    PhotoChannel channel(32);
    channel.takePiece(HEADER + "\xFF\xD8" + std::string(40, 'x'));
    const auto out = channel.takePiece(std::string(10, 'x') + "\xFF\xD9" + MARKER + HEADER + "abc");
    EXPECT_TRUE(out.photos.empty());
    EXPECT_EQ(feed(channel, {MARKER}), std::vector<std::string>{"abc"});
}

// Photos wait for the disk in their own buffers, and the bound on what waits
// counts their memory: a photo must not keep the room of a much larger
// transfer before it on the same connection.
struct MemoryCase {
    const char* name;
    std::vector<std::size_t> photoSizes;
};

void PrintTo(const MemoryCase& c, std::ostream* os) { *os << c.name; }

class PhotoMemoryTable : public testing::TestWithParam<MemoryCase> {};

TEST_P(PhotoMemoryTable, EachPhotoHoldsAboutItsOwnBytes)
{
    PhotoChannel channel;
    for (std::size_t size : GetParam().photoSizes) {
        const std::string data(size, 'p');
        std::vector<std::string> photos;
        for (std::size_t at = 0; at < size; at += 256 * 1024) {
            const std::string piece = (at == 0 ? HEADER : std::string()) + data.substr(at, 256 * 1024);
            for (std::string& photo : channel.takePiece(piece).photos)
                photos.push_back(std::move(photo));
        }
        for (std::string& photo : channel.takePiece(MARKER).photos)
            photos.push_back(std::move(photo));
        ASSERT_EQ(photos.size(), 1u) << size;
        EXPECT_EQ(photos[0], data);
        EXPECT_LE(photos[0].capacity(), size + size / 4 + 64 * 1024) << size;
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, PhotoMemoryTable, testing::Values(
    MemoryCase{"SmallAfterLarge", {12 << 20, 3 << 20, 3 << 20}},
    MemoryCase{"TinyAfterSmall", {3 << 20, 1000}},
    MemoryCase{"GrowingPhotos", {1 << 20, 3 << 20, 5 << 20}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
