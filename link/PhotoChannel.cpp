#include "link/PhotoChannel.h"

#include <algorithm>
#include <cassert>

namespace velmora::link {
namespace {

constexpr std::string_view JPEG_START{"\xFF\xD8", 2};
constexpr std::string_view JPEG_END{"\xFF\xD9", 2};
constexpr std::string_view PNG_START{"\x89PNG\r\n\x1A\n", 8};
// The IEND chunk: zero length, type, and its CRC, which never changes.
constexpr std::string_view PNG_END{"IEND\xAE\x42\x60\x82", 8};
// Bytes kept of a dropped transfer, so that a marker behind an image end that
// straddles two pieces is still seen.
constexpr std::size_t DISCARD_TAIL = PNG_END.size() + 3;
// A photo's buffer may hold up to one part in SPARE_SHARE of its bytes
// more, and SPARE_BYTES, before it gives the spare room back.
constexpr std::size_t SPARE_SHARE = 4;
constexpr std::size_t SPARE_BYTES = 64 * 1024;

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

bool endsWith(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

} // namespace

PhotoChannel::PhotoChannel(std::size_t bufferLimit) : m_limit(std::max<std::size_t>(bufferLimit, 1)) {}

PhotoChannel::Outcome PhotoChannel::takePiece(std::string_view piece)
{
    Outcome out;
    if (startsWith(piece, END_MARKER) && !imageGoesOn(piece)) {
        if (piece.size() > END_MARKER.size())
            ++m_mergedAtFront;
        finish(m_buffer.size(), out);
        piece.remove_prefix(END_MARKER.size());
    }
    append(piece, out);
    findMergedMarkers(out);
    if (m_discarding)
        keepTail();
    else if (bufferedBytes() > m_limit)
        out.dropped = dropTransfer();
    return out;
}

bool PhotoChannel::dropTransfer()
{
    if (m_discarding || !transferUnderWay())
        return false;
    m_discardedKind = imageKind();
    m_discarding = true;
    ++m_dropped;
    keepTail();
    return true;
}

// The header is counted but not kept: the photo's bytes then begin the
// buffer, and the photo takes the buffer as it is, without moving megabytes
// down by four bytes.
void PhotoChannel::append(std::string_view bytes, Outcome& out)
{
    if (!transferUnderWay() && !bytes.empty())
        out.steps.push_back(Step::Began);
    const std::size_t header = std::min(HEADER_SIZE - m_headerBytes, bytes.size());
    m_headerBytes += header;
    bytes.remove_prefix(header);
    m_buffer.append(bytes);
}

// Ends the transfer whose photo bytes are m_buffer[0, photoEnd) and whose
// marker follows them; the bytes behind the marker begin the next transfer.
void PhotoChannel::finish(std::size_t photoEnd, Outcome& out)
{
    assert(photoEnd <= m_buffer.size());
    // What follows a marker is a piece's rest at most.
    const std::string rest = m_buffer.substr(std::min(m_buffer.size(), photoEnd + END_MARKER.size()));
    if (!m_discarding) {
        m_buffer.resize(photoEnd);
        // A photo waits for the disk with its buffer: a small one in a
        // buffer made for a large one before it would hold many times its
        // bytes, and one that outgrew its buffer up to twice them, so it
        // gives the rest back (one copy, and only then: the photos of one
        // connection are much alike, and the next buffer is made to fit).
        // Waiting photos are bounded by the memory they hold, and the
        // window keeps the newest photo shown: room kept here counts twice.
        if (m_buffer.capacity() - m_buffer.size() > m_buffer.size() / SPARE_SHARE + SPARE_BYTES)
            m_buffer.shrink_to_fit();
        // A transfer of fewer than the header's bytes leaves an empty photo.
        out.photos.push_back(std::move(m_buffer));
        out.steps.push_back(Step::Completed);
        // The photos of one phone are much alike: the next transfer's buffer
        // is made about as large as this photo up front.
        m_buffer = std::string();
        m_buffer.reserve(photoEnd + photoEnd / SPARE_SHARE);
    } else {
        m_buffer.clear();
    }
    m_headerBytes = 0;
    m_scanFrom = 0;
    m_discarding = false;
    append(rest, out);
}

void PhotoChannel::findMergedMarkers(Outcome& out)
{
    for (;;) {
        const std::size_t pos = std::string_view(m_buffer).find(END_MARKER, m_scanFrom);
        if (pos == std::string_view::npos)
            break;
        if (endsImage(pos)) {
            ++m_mergedAfterImage;
            finish(pos, out);
            continue;
        }
        m_scanFrom = pos + 1;
    }
    const std::size_t tail = END_MARKER.size() - 1;
    m_scanFrom = std::max(m_scanFrom, m_buffer.size() > tail ? m_buffer.size() - tail : 0);
}

// Whether `piece`, which begins like the end marker, goes on with the photo
// under way rather than ending it. A read may begin anywhere in a photo, and
// a JPEG's quantization tables hold runs of 02 bytes; behind a real marker
// come the next transfer's header and the start of its image. So when the
// photo under way is a JPEG or a PNG and the piece holds enough bytes to
// tell, they must be an image's start for the marker to count.
bool PhotoChannel::imageGoesOn(std::string_view piece) const
{
    const ImageKind kind = imageKind();
    if (kind != ImageKind::Jpeg && kind != ImageKind::Png)
        return false;
    const std::string_view next = piece.substr(END_MARKER.size());
    if (next.size() < HEADER_SIZE + JPEG_START.size())
        return false;
    const std::string_view image = next.substr(HEADER_SIZE);
    const bool jpeg = startsWith(image, JPEG_START);
    const bool png = startsWith(PNG_START, image.substr(0, PNG_START.size()));
    return !jpeg && !png;
}

PhotoChannel::ImageKind PhotoChannel::imageKind() const
{
    if (m_discarding)
        return m_discardedKind;
    const std::string_view photo = m_buffer;
    if (startsWith(photo, JPEG_START))
        return ImageKind::Jpeg;
    if (startsWith(photo, PNG_START))
        return ImageKind::Png;
    return photo.size() < PNG_START.size() ? ImageKind::Unknown : ImageKind::Other;
}

bool PhotoChannel::endsImage(std::size_t markerPos) const
{
    const std::string_view before = std::string_view(m_buffer).substr(0, markerPos);
    // The image's end must not overlap the image's start; of a dropped
    // transfer only its tail is left to look at.
    const auto ends = [&](std::string_view start, std::string_view end) {
        const std::size_t least = m_discarding ? end.size() : start.size() + end.size();
        return markerPos >= least && endsWith(before, end);
    };
    switch (imageKind()) {
    case ImageKind::Jpeg:
        return ends(JPEG_START, JPEG_END);
    case ImageKind::Png:
        return ends(PNG_START, PNG_END);
    default:
        return false;
    }
}

void PhotoChannel::keepTail()
{
    const std::size_t keep = std::min(DISCARD_TAIL, m_buffer.size());
    m_buffer.erase(0, m_buffer.size() - keep);
    m_buffer.shrink_to_fit();
    m_scanFrom = 0;
}

} // namespace velmora::link
