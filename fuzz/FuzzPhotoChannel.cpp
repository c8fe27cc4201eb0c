// The photo channel on any sequence of pieces: no crash, every photo it cuts
// out is a stretch of the bytes that arrived, the photos and their markers
// never add up to more than arrived, and the buffer stays near its limit.

#include "link/PhotoChannel.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using velmora::link::PhotoChannel;

namespace {

// Small, so that dropping an endless transfer is reached often.
constexpr std::size_t LIMIT = 1024;

} // namespace

// Input: one byte of piece length (0 gives an empty piece); the first byte's
// low bit chooses whether pieces begin with the end marker when their length
// byte is odd, so merged and separate markers both come up without the
// fuzzer having to guess 02 02 02 02.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const bool markers = data[0] & 1;
    const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
    PhotoChannel channel(LIMIT);
    std::string arrived;
    std::size_t cutOut = 0;
    std::size_t pos = 0;
    while (pos < input.size()) {
        const auto lengthByte = static_cast<std::uint8_t>(input[pos++]);
        std::string piece(input.substr(pos, lengthByte / 2));
        pos += piece.size();
        if (markers && (lengthByte & 1))
            piece.insert(0, PhotoChannel::END_MARKER);
        arrived += piece;
        const auto outcome = channel.takePiece(piece);
        for (const std::string& photo : outcome.photos) {
            if (!photo.empty() && arrived.find(photo) == std::string::npos)
                std::abort();
            cutOut += photo.size() + PhotoChannel::END_MARKER.size();
        }
        if (cutOut > arrived.size() || channel.bufferedBytes() > LIMIT + 256)
            std::abort();
    }
    return 0;
}
