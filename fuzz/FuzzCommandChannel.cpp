// The command channel on any bytes a phone (or anything else on the port)
// could send, cut into pieces at points taken from the input: percent
// decoding never grows the text or keeps a zero byte, a taken name message
// leaves nothing behind, and the buffer never passes its limit.

#include "link/CommandChannel.h"
#include "link/PercentDecoding.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

using velmora::link::CommandChannel;

namespace {

// Small, so that dropping a buffer without a marker is reached often.
constexpr std::size_t LIMIT = 512;

void checkDecoding(std::string_view text)
{
    const auto decoded = velmora::link::percentDecode(text);
    // Zero bytes of the text are copied (unless an escape takes them as its
    // digits); an escape giving zero adds nothing.
    const auto zeros = [](std::string_view bytes) { return std::count(bytes.begin(), bytes.end(), '\0'); };
    if (decoded.bytes.size() > text.size() || zeros(decoded.bytes) > zeros(text))
        std::abort();
    // A cut escape can only be one that begins in the last two bytes.
    const std::size_t tail = text.size() < 2 ? 0 : text.size() - 2;
    if (decoded.endsInsideEscape && text.find('%', tail) == std::string_view::npos)
        std::abort();
}

std::string joined(const std::vector<std::string>& names)
{
    std::string out;
    for (std::size_t i = 0; i < names.size(); ++i)
        out += (i ? "||" : "") + names[i];
    return out;
}

} // namespace

// Input: one byte of piece length (0 gives an empty piece), then the piece;
// repeated until the input ends.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    checkDecoding(input);
    CommandChannel channel(LIMIT);
    std::size_t pos = 0;
    while (pos < input.size()) {
        const std::size_t length = static_cast<std::uint8_t>(input[pos++]);
        const std::string_view piece = input.substr(pos, length);
        pos += piece.size();
        checkDecoding(piece);
        const auto outcome = channel.takePiece(piece);
        if (outcome == CommandChannel::Outcome::NameTaken) {
            if (channel.bufferedBytes() != 0)
                std::abort();
            if (joined(channel.nameList()) != channel.currentPhotoName())
                std::abort();
        } else if (channel.bufferedBytes() > LIMIT) {
            std::abort();
        }
    }
    return 0;
}
