// Name messages on the command channel: the marker found after decoding, the
// name kept as GBK bytes, searches that step over double-byte characters, and
// messages cut by the network anywhere. GBK and UTF-8 bytes of the sample
// characters were taken from Python's codecs:
//   张 UTF-8 E5 BC A0, GBK D5 C5     乗 UTF-8 E4 B9 97, GBK 81 5C ("\" trail)
//   億 UTF-8 E5 84 84, GBK 83 7C ("|" trail)
//   丼 UTF-8 E4 B8 BC, GBK 81 53 ("S" trail)

#include "link/CommandChannel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using velmora::link::CommandChannel;
using Outcome = CommandChannel::Outcome;

namespace {

struct MessageCase {
    const char* name;
    std::vector<std::string> pieces;
    Outcome lastOutcome;
    std::string photoName;          // GBK
    std::vector<std::string> names; // GBK
    std::size_t leftInBuffer;
    std::string unicode = {};       // UTF-8, kept when GBK lacks a character
    std::vector<std::string> taken = {}; // GBK, when one piece brought several
};

void PrintTo(const MessageCase& c, std::ostream* os) { *os << c.name; }

class NameMessageTable : public testing::TestWithParam<MessageCase> {};

// Guards against a byte-wise marker or "||" search that cuts a student's name
// inside a double-byte character, a marker searched before decoding, and a
// message taken before the phone's bytes are complete.
TEST_P(NameMessageTable, TakesTheName)
{
    const MessageCase& c = GetParam();
    CommandChannel channel;
    Outcome outcome = Outcome::Waiting;
    for (const std::string& piece : c.pieces)
        outcome = channel.takePiece(piece);
    EXPECT_EQ(outcome, c.lastOutcome);
    EXPECT_EQ(channel.currentPhotoName(), c.photoName);
    EXPECT_EQ(channel.nameList(), c.names);
    EXPECT_EQ(channel.bufferedBytes(), c.leftInBuffer);
    EXPECT_EQ(channel.currentName().unicode, c.unicode);
    if (!c.taken.empty()) {
        std::vector<std::string> taken;
        for (const auto& name : channel.takenNames())
            taken.push_back(name.gbk);
        EXPECT_EQ(taken, c.taken);
    }
}

INSTANTIATE_TEST_SUITE_P(Messages, NameMessageTable, testing::Values(
    MessageCase{"MarkerSplit", {"ST", "AT||a\\b.jpg"}, Outcome::NameTaken, "a\\b.jpg", {"a\\b.jpg"}, 0},
    MessageCase{"MarkerHalfOnly", {"ST"}, Outcome::Waiting, "", {}, 2},
    MessageCase{"EncodedMarker", {"STAT%7C%7Cx.jpg"}, Outcome::NameTaken, "x.jpg", {"x.jpg"}, 0},
    MessageCase{"LowerCaseIsNoMarker", {"stat||x.jpg"}, Outcome::Waiting, "", {}, 11},
    MessageCase{"MarkerTwice", {"STAT||x.jpgSTAT||"}, Outcome::NameTaken, "x.jpg", {"x.jpg"}, 0},
    MessageCase{"LeftoverInFront", {"zz", "STAT||x.jpg"}, Outcome::NameTaken, "zzx.jpg", {"zzx.jpg"}, 0},
    MessageCase{"NameList", {"STAT||a||b"}, Outcome::NameTaken, "a||b", {"a", "b"}, 0},
    MessageCase{"EscapedLower", {"STAT||%e5%bc%a0.jpg"}, Outcome::NameTaken, "\xD5\xC5.jpg", {"\xD5\xC5.jpg"}, 0},
    MessageCase{"EscapedUpper", {"STAT||%E5%BC%A0.jpg"}, Outcome::NameTaken, "\xD5\xC5.jpg", {"\xD5\xC5.jpg"}, 0},
    MessageCase{"RawUtf8", {"STAT||\xE5\xBC\xA0.jpg"}, Outcome::NameTaken, "\xD5\xC5.jpg", {"\xD5\xC5.jpg"}, 0},
    // 乗 ends in the byte of "\": still one level, one character.
    MessageCase{"BackslashTrail", {"STAT||\xE4\xB9\x97.jpg"}, Outcome::NameTaken, "\x81\x5C.jpg", {"\x81\x5C.jpg"}, 0},
    // 億 ends in "|": 83 7C 7C 78 holds "||" byte-wise, but no name separator.
    MessageCase{"PipeTrailIsNoSeparator", {"STAT||\xE5\x84\x84|x"}, Outcome::NameTaken, "\x83\x7C|x", {"\x83\x7C|x"}, 0},
    MessageCase{"PipeTrailThenSeparator", {"STAT||\xE5\x84\x84||x"}, Outcome::NameTaken, "\x83\x7C||x", {"\x83\x7C", "x"}, 0},
    // 丼 ends in "S": 81 53 "TAT||" holds "STAT||" byte-wise, but no marker.
    MessageCase{"STrailIsNoMarker", {"\xE4\xB8\xBCTAT||x"}, Outcome::Waiting, "", {}, 9},
    MessageCase{"InvalidUtf8BecomesQuestionMark", {"STAT||%FF.jpg"}, Outcome::NameTaken, "?.jpg", {"?.jpg"}, 0},
    MessageCase{"NoGbkCharacterBecomesQuestionMark", {"STAT||\xF0\x9F\x98\x80.jpg"}, Outcome::NameTaken, "?.jpg", {"?.jpg"}, 0,
                "\xF0\x9F\x98\x80.jpg"},
    // 王䶮: 䶮 is outside GBK; the name keeps it for the file, GBK has "?".
    MessageCase{"RareCharacterKept", {"STAT||%E7%8E%8B%E4%B6%AE.jpg"}, Outcome::NameTaken, "\xCD\xF5?.jpg",
                {"\xCD\xF5?.jpg"}, 0, "\xE7\x8E\x8B\xE4\xB6\xAE.jpg"},
    MessageCase{"TwoMessagesInOnePiece", {"STAT||aSTAT||STAT||b"}, Outcome::NameTaken, "b", {"b"}, 0, "", {"a", "b"}},
    MessageCase{"ZeroEscapeDropped", {"STAT||a%00b"}, Outcome::NameTaken, "ab", {"ab"}, 0},
    MessageCase{"EmptyName", {"STAT||"}, Outcome::NameTaken, "", {}, 0},
    MessageCase{"EmptyParts", {"STAT||a||||b||"}, Outcome::NameTaken, "a||||b||", {"a", "", "b", ""}, 0},
    // The text ends at a zero byte, so what follows one is not decoded.
    MessageCase{"ZeroByteEndsText", {std::string("STAT||a\0b", 9)}, Outcome::NameTaken, "a", {"a"}, 0},
    // A stray zero byte must not swallow every later name message.
    MessageCase{"StrayZeroLetGo", {std::string("zz\0", 3), "STAT||x.jpg"}, Outcome::NameTaken, "x.jpg", {"x.jpg"}, 0},
    // The escape or character is not complete yet: the name waits for it.
    MessageCase{"WaitsForEscape", {"STAT||x%E"}, Outcome::Waiting, "", {}, 9},
    MessageCase{"WaitsForCharacter", {"STAT||x%E5%BC"}, Outcome::Waiting, "", {}, 13},
    MessageCase{"EscapeCompleted", {"STAT||x%E", "5%BC%A0"}, Outcome::NameTaken, "x\xD5\xC5", {"x\xD5\xC5"}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// Name messages cut at every point. The phone sends a message in one write,
// but the network may split it anywhere; with the marker behind the name, or
// a name that ends inside an escape, every cut must give the same name.
TEST(NameMessageCuts, EveryCutGivesTheWholeName)
{
    struct Message {
        std::string bytes;
        std::string photoName;
    };
    const std::vector<Message> messages = {
        // 张\乗_1.jpg, percent-encoded, marker last.
        {"%E5%BC%A0%5C%E4%B9%97_1.jpgSTAT%7C%7C", "\xD5\xC5\\\x81\x5C_1.jpg"},
        // The same as raw UTF-8.
        {"\xE5\xBC\xA0\\\xE4\xB9\x97_1.jpgSTAT||", "\xD5\xC5\\\x81\x5C_1.jpg"},
    };
    for (const Message& m : messages) {
        for (std::size_t cut = 1; cut < m.bytes.size(); ++cut) {
            CommandChannel channel;
            EXPECT_EQ(channel.takePiece(m.bytes.substr(0, cut)), Outcome::Waiting) << cut;
            EXPECT_EQ(channel.takePiece(m.bytes.substr(cut)), Outcome::NameTaken) << cut;
            EXPECT_EQ(channel.currentPhotoName(), m.photoName) << cut;
            EXPECT_EQ(channel.bufferedBytes(), 0u) << cut;
        }
        CommandChannel byteByByte;
        for (char byte : m.bytes)
            byteByByte.takePiece(std::string(1, byte));
        EXPECT_EQ(byteByByte.currentPhotoName(), m.photoName);
    }
}

// A name of one character behind a leading marker: the message waits while
// the cut falls inside the marker, an escape or the character, so only the
// cut right behind the marker (which the protocol cannot tell from a
// complete message) gives the empty name.
TEST(NameMessageCuts, CutInsideTheLastCharacterWaits)
{
    const std::string message = "STAT||%E5%BC%A0";
    for (std::size_t cut = 1; cut < message.size(); ++cut) {
        CommandChannel channel;
        channel.takePiece(message.substr(0, cut));
        channel.takePiece(message.substr(cut));
        EXPECT_EQ(channel.currentPhotoName(), cut == 6 ? "" : "\xD5\xC5") << cut;
    }
}

// Guards against unbounded memory from a sender that never sends the
// marker, and against a channel that stays dead after the drop.
TEST(CommandBufferLimit, DropsAndKeepsWorking)
{
    CommandChannel channel(16);
    EXPECT_EQ(channel.takePiece("0123456789"), Outcome::Waiting);
    EXPECT_EQ(channel.takePiece("0123456789"), Outcome::BufferDropped);
    EXPECT_EQ(channel.bufferedBytes(), 0u);
    EXPECT_EQ(channel.takePiece("STAT||x.jpg"), Outcome::NameTaken);
    EXPECT_EQ(channel.currentPhotoName(), "x.jpg");
}

struct SplitCase {
    const char* name;
    std::string gbk;
    std::vector<std::string> names;
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.name; }

class SplitNamesTable : public testing::TestWithParam<SplitCase> {};

// Guards against "||" found inside a double-byte character and against empty
// parts shifting the position of later names.
TEST_P(SplitNamesTable, SplitsOnCharacterBoundaries)
{
    EXPECT_EQ(CommandChannel::splitNames(GetParam().gbk), GetParam().names);
}

INSTANTIATE_TEST_SUITE_P(Names, SplitNamesTable, testing::Values(
    SplitCase{"Empty", "", {}},
    SplitCase{"One", "a", {"a"}},
    SplitCase{"Two", "a||b", {"a", "b"}},
    SplitCase{"EmptyBetween", "a||||b", {"a", "", "b"}},
    SplitCase{"OnlySeparator", "||", {"", ""}},
    SplitCase{"ThreeBars", "a|||b", {"a", "|b"}},
    SplitCase{"PipeTrail", "\x83\x7C||x", {"\x83\x7C", "x"}},
    SplitCase{"PipeTrailThreeBars", "\x83\x7C|||x", {"\x83\x7C", "|x"}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
